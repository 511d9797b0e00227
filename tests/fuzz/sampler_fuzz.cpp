// frMain's disk sample handling against random readings (NaN, infinities,
// negatives, denormals, the 32-bit edges): the text shown agrees with a
// conversion worked out here another way, a flash holds Scroll Lock for the
// rounded rate in fake time, and a flash once begun always ends.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "program/program.h"
#include "tests/fuzz/check.h"

namespace np {
namespace {

// The one place that knows how readings reach the sampler: each sample reads
// the counter for the text, for the decision and for the hold, in that order.
void Sample(FakePlatform& fake, double text, double decision, double hold) {
  fake.disks.Script({text, decision, hold});
  const int collects = fake.disks.Collects();
  while (fake.disks.Collects() == collects) {
    // A tick overdue after a long flash must come alone: the next one may be due a millisecond later.
    fake.RunFor(0);
    if (fake.disks.Collects() == collects) fake.RunFor(1);
  }
}

double ReadingFrom(FuzzedDataProvider& in) {
  constexpr double kInf = std::numeric_limits<double>::infinity(), kNaN = std::numeric_limits<double>::quiet_NaN();
  // Where the text changes form, where the hold stops fitting, the 32-bit edges; either sign.
  static constexpr double kEdges[] = {kNaN, kInf, 0.0,        DBL_TRUE_MIN, DBL_MIN, DBL_MAX,    0.5,
                                      1e-5, 1e15, 0x1p31 - 1, 0x1p31 - 0.5, 0x1p31,  0x1p32 - 1, 0x1p32};
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {  // an edge, give or take a few units and a few steps of the last digit
      double value = in.PickValueInArray(kEdges) + in.ConsumeIntegralInRange(-2, 2);
      for (int step = in.ConsumeIntegralInRange(-3, 3); step != 0; step += step > 0 ? -1 : 1) {
        value = std::nextafter(value, step > 0 ? kInf : -kInf);
      }
      return in.ConsumeBool() ? -value : value;
    }
    case 1: {  // any bit pattern: NaN payloads, denormals
      const auto bits = in.ConsumeIntegral<std::uint64_t>();
      double value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    case 2:
      return in.ConsumeFloatingPoint<double>();
    default:  // plausible rates, halves included for the rounding
      return static_cast<double>(in.ConsumeIntegralInRange<std::int64_t>(-1000, 100'000'000)) / 4;
  }
}

// The standard conversion, worked out another way: the exponent from the
// rounded scientific form, the digits of a plain number from fixed notation.
std::wstring ReferenceText(double reading, const std::wstring& separator) {
  if (std::isnan(reading)) return L"NaN";
  if (std::isinf(reading)) return reading > 0 ? L"Infinity" : L"-Infinity";
  if (reading == 0) return L"0";
  const auto format = [size = std::fabs(reading)](std::chars_format how, int precision) {
    char buffer[400];
    return std::string(buffer, std::to_chars(buffer, std::end(buffer), size, how, precision).ptr);
  };
  const std::string scientific = format(std::chars_format::scientific, 14);
  const std::size_t e = scientific.find('e');
  const int exponent = std::stoi(scientific.substr(e + 1));
  const bool plain = exponent >= -5 && exponent < 15;
  std::string text = plain ? format(std::chars_format::fixed, 14 - exponent) : scientific.substr(0, e);
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  if (!plain) text += (exponent < 0 ? "E-" : "E+") + std::to_string(std::abs(exponent));
  std::wstring wide = (reading < 0 ? L"-" : L"") + std::wstring(text.begin(), text.end());
  if (const std::size_t point = wide.find(L'.'); point != std::wstring::npos) wide.replace(point, 1, separator);
  return wide;
}

// Milliseconds to the nearest, ties to even, at most a second; nothing when it does not fit.
std::optional<std::int64_t> ReferenceHold(double reading) {
  if (std::isnan(reading) || reading > 4e9) return std::nullopt;
  if (reading <= 0) return 0;
  const double whole = std::floor(reading), fraction = reading - whole;
  auto ms = static_cast<std::int64_t>(whole);
  if (fraction > 0.5 || (fraction == 0.5 && ms % 2 == 1)) ++ms;
  if (ms > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return std::min<std::int64_t>(ms, 1000);
}

void CheckFlash(FakePlatform& fake, std::size_t first_event, double hold_reading) {
  const auto& events = fake.keyboard.Events();
  FUZZ_CHECK(events.size() - first_event == 6);  // two pulses of three events
  for (std::size_t i = first_event; i < events.size(); ++i) FUZZ_CHECK(events[i].vk == kVkScrollLock);
  const std::optional<std::int64_t> hold = ReferenceHold(hold_reading);
  const std::uint64_t held = events[first_event + 3].time_ms - events[first_event + 2].time_ms;
  FUZZ_CHECK(held == static_cast<std::uint64_t>(hold.value_or(0)));
  if (!hold) FUZZ_CHECK(!fake.boxes.Shown().empty());  // reported, not swallowed
}

}  // namespace
}  // namespace np

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace np;
  FuzzedDataProvider in(data, size);
  FakePlatform fake;
  const bool scroll_lock = in.ConsumeBool();
  fake.keyboard.SetLock(kVkScrollLock, scroll_lock);
  fake.locale.separator = in.PickValueInArray<const wchar_t*>({L".", L",", L"\u066b", L""});
  Program program{fake.platform};
  FUZZ_CHECK(program.Start());
  for (int samples = 0; samples < 6 && in.remaining_bytes() > 0; ++samples) {
    const double text = ReadingFrom(in);
    const bool steady = in.ConsumeBool();  // one reading for all three, as a real counter gives
    const double decision = steady ? text : ReadingFrom(in), hold = steady ? text : ReadingFrom(in);
    const std::size_t first_event = fake.keyboard.Events().size();
    Sample(fake, text, decision, hold);
    FUZZ_CHECK(fake.windows.Text(program.Settings().Get()->txtDisp) == ReferenceText(text, fake.locale.separator));
    if (decision > 0) {
      CheckFlash(fake, first_event, hold);
    } else {
      FUZZ_CHECK(fake.keyboard.Events().size() == first_event);
    }
    FUZZ_CHECK(fake.keyboard.LockOn(kVkScrollLock) == scroll_lock);
  }
  return 0;
}
