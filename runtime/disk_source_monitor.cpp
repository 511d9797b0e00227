// SystemMonitor1 over a disk rate source: told when news, reopened quietly.
#include "runtime/disk_source_monitor.h"

#include <optional>
#include <string>
#include <utility>

namespace np {

namespace {

class DiskSourceMonitor final : public SystemMonitor {
 public:
  DiskSourceMonitor(DiskRateSources& sources, Clock& clock, const ErrorSink& errors, SampleListener& listener)
      : sources_(sources), clock_(clock), errors_(errors), listener_(listener) {
    Open();
  }

  void CollectSample() override {
    if (!source_ && !Reopen()) return;
    try {
      source_->Collect();
    } catch (const RuntimeError& e) {
      Lose(e.what());
    }
    if (!working_since_) working_since_ = clock_.NowMs();
    listener_.OnSampleCollected();
  }

  double CounterValue(std::int16_t position) override {
    if (position != 1) throw RuntimeError("there is no counter at position " + std::to_string(position));
    // A box shown inside the listener runs ticks, and a sample there may lose
    // the source under the one that was reading: that sample ends here, and the
    // loss is the nested one's to tell.
    if (!source_) throw RuntimeError(why_, Telling::kNot);
    try {
      return source_->Value();
    } catch (const RuntimeError& e) {
      Lose(e.what());
    }
  }

 private:
  void Open() {
    tried_at_ = clock_.NowMs();
    try {
      source_ = sources_.Open();
    } catch (const RuntimeError& e) {
      why_ = e.what();
      owed_ = owed_ || !told_;  // one missing at start is told at the first tick that finds it still missing
    }
  }

  bool Reopen() {
    if (clock_.NowMs() - tried_at_ >= kReopenIntervalMs) Open();
    if (!source_ && owed_) Tell();
    return source_ != nullptr;
  }

  [[noreturn]] void Lose(std::string why) {
    source_.reset();  // a failed query or file may never recover: open anew
    why_ = std::move(why);
    tried_at_ = clock_.NowMs();
    owed_ = !told_ || (working_since_ && clock_.NowMs() - *working_since_ >= kRetellAfterMs);
    working_since_.reset();
    Tell();
  }

  // Stops the sample. One box at a time: while another is open the user would
  // not see this one, so the loss stays owed until a tick after that box.
  [[noreturn]] void Tell() {
    const bool telling = owed_ && !errors_.Showing();
    if (telling) {
      told_ = true;
      owed_ = false;
    }
    throw RuntimeError(why_, telling ? Telling::kAgain : Telling::kNot);
  }

  DiskRateSources& sources_;
  Clock& clock_;
  const ErrorSink& errors_;
  SampleListener& listener_;
  std::unique_ptr<DiskRateSource> source_;
  std::string why_;
  std::uint64_t tried_at_ = 0;
  std::optional<std::uint64_t> working_since_;  // the first good collect since the source was (re)opened
  bool told_ = false;  // the user has heard of a loss
  bool owed_ = false;  // the user has yet to hear of the present one
};

}  // namespace

std::unique_ptr<SystemMonitor> DiskSourceMonitors::Create(SampleListener& listener) {
  return std::make_unique<DiskSourceMonitor>(sources_, clock_, errors_, listener);
}

}  // namespace np
