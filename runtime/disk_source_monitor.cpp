// SystemMonitor1 over a disk rate source: told when news, reopened quietly.
#include "runtime/disk_source_monitor.h"

#include <string>
#include <utility>

namespace np {

namespace {

class DiskSourceMonitor final : public SystemMonitor {
 public:
  DiskSourceMonitor(DiskRateSources& sources, Clock& clock, const ErrorReporter& errors, SampleListener& listener)
      : sources_(sources), clock_(clock), errors_(errors), listener_(listener),
        state_(Reopen() ? State::kWorking : State::kLostOwed) {}  // one missing at start is owed to the first tick

  void CollectSample() override {
    if (!Ready()) return;
    try {
      source_->Collect();
    } catch (const RuntimeError& e) {
      Lose(e.what());
    }
    listener_.OnSampleCollected();
  }

  double CounterValue(std::int16_t position) override {
    if (position != 1) throw RuntimeError("there is no counter at position " + std::to_string(position));
    // A box shown inside the listener runs ticks, and a sample there may lose
    // the source under the one that was reading: that sample ends here, and the
    // loss is the nested one's to tell.
    if (!source_) throw TellingError(why_, Telling::kNot);
    try {
      return source_->Value();
    } catch (const RuntimeError& e) {
      Lose(e.what());
    }
  }

 private:
  // Where the source and its loss stand; the user's knowledge goes with it.
  enum class State {
    kWorking,    // open; a loss is told if it is news
    kLostQuiet,  // missing and nothing owed (told, or no news): reopened once a second
    kLostOwed,   // missing, the user owed the loss: once no box hides it, tried once more, then told
    kBackOwed,   // reopened while the box that hid its loss is still open: owed until a tick after it
  };

  // A tick's transition: whether there is a source to take a sample from.
  bool Ready() {
    const bool box = errors_.ShowingError();
    switch (state_) {
      case State::kWorking:
        return true;
      case State::kBackOwed:
        if (!box) state_ = State::kWorking;  // back by the first tick the user could be told: nothing to tell
        return true;
      case State::kLostQuiet:
        if (Due() && Reopen()) state_ = State::kWorking;
        break;
      case State::kLostOwed:
        if (box) {
          if (Due() && Reopen()) state_ = State::kBackOwed;
        } else if (Reopen()) {  // the try before telling: the source may be back since
          state_ = State::kWorking;
        } else {
          Tell();
        }
        break;
    }
    return state_ == State::kWorking || state_ == State::kBackOwed;
  }

  bool Due() const { return clock_.NowMs() - tried_at_ >= kReopenIntervalMs; }

  bool Reopen() {
    tried_at_ = clock_.NowMs();
    try {
      source_ = sources_.Open();
    } catch (const RuntimeError& e) {
      why_ = e.what();
      return false;
    }
    working_since_ = clock_.NowMs();
    return true;
  }

  // A collect or reading failed: the sample stops here.
  [[noreturn]] void Lose(std::string why) {
    source_.reset();  // a failed query or file may never recover: open anew
    why_ = std::move(why);
    tried_at_ = clock_.NowMs();
    const bool owed = news_ || clock_.NowMs() - working_since_ >= kRetellAfterMs;
    news_ = owed;  // an owed loss stays news until it is told, however the source comes and goes meanwhile
    state_ = owed ? State::kLostOwed : State::kLostQuiet;
    if (owed && !errors_.ShowingError()) Tell();
    throw TellingError(why_, Telling::kNot);
  }

  [[noreturn]] void Tell() {
    state_ = State::kLostQuiet;
    news_ = false;
    throw TellingError(why_, Telling::kAgain);
  }

  DiskRateSources& sources_;
  Clock& clock_;
  const ErrorReporter& errors_;
  SampleListener& listener_;
  std::unique_ptr<DiskRateSource> source_;  // null while lost
  std::string why_;                  // the latest failure's text
  std::uint64_t tried_at_ = 0;       // the latest open or loss: reopens are paced from it
  std::uint64_t working_since_ = 0;  // the latest successful open
  bool news_ = true;                 // nothing told yet, or an owed loss not told
  State state_;                      // last: its first value is the first open's
};

}  // namespace

std::unique_ptr<SystemMonitor> DiskSourceMonitors::Create(SampleListener& listener) {
  return std::make_unique<DiskSourceMonitor>(sources_, clock_, errors_, listener);
}

}  // namespace np
