// SystemMonitor1 over a disk rate source: told when news, reopened quietly.
#include "platform/common/disk_source_monitor.h"

#include <optional>
#include <string>
#include <utility>

#include "platform/api/error_sink.h"

namespace np {

namespace {

class DiskSourceMonitor final : public SystemMonitor {
 public:
  DiskSourceMonitor(DiskRateSources& sources, Clock& clock, SampleListener& listener)
      : sources_(sources), clock_(clock), listener_(listener) {
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

  // Asked only from the listener, so after a collect that kept the source.
  double CounterValue(std::int16_t position) override {
    if (position != 1) throw RuntimeError("there is no counter at position " + std::to_string(position));
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
      why_ = e.what();  // told at the next tick if it is news
    }
  }

  bool Reopen() {
    if (!told_) Tell();  // a source that could not be opened at start is told at the first tick
    if (clock_.NowMs() - tried_at_ < kReopenIntervalMs) return false;
    Open();
    return source_ != nullptr;
  }

  [[noreturn]] void Lose(std::string why) {
    source_.reset();  // a failed query or file may never recover: open anew
    why_ = std::move(why);
    tried_at_ = clock_.NowMs();
    Tell();
  }

  // Stops the sample; the user hears of it the first time, and again only
  // after the source has worked for kRetellAfterMs since.
  [[noreturn]] void Tell() {
    const bool news = !told_ || (working_since_ && clock_.NowMs() - *working_since_ >= kRetellAfterMs);
    told_ = true;
    working_since_.reset();
    throw RuntimeError(why_, news ? Telling::kAgain : Telling::kNot);
  }

  DiskRateSources& sources_;
  Clock& clock_;
  SampleListener& listener_;
  std::unique_ptr<DiskRateSource> source_;
  std::string why_;
  std::uint64_t tried_at_ = 0;
  std::optional<std::uint64_t> working_since_;  // the first good collect since the source was (re)opened
  bool told_ = false;
};

}  // namespace

std::unique_ptr<SystemMonitor> DiskSourceMonitors::Create(SampleListener& listener) {
  return std::make_unique<DiskSourceMonitor>(sources_, clock_, listener);
}

}  // namespace np
