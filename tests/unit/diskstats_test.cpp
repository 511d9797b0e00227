// The /proc/diskstats parser and the disk rate: whole disks only, per-disk growth, bad input.
#include "platform/common/diskstats.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace np {
namespace {

using Counts = std::vector<DiskTransfers>;
const std::vector<std::string> kDisks = {"vda", "nvme0n1"};

// The kernel's layout; vda: 43306 + 19808, nvme0n1: 900 + 100.
constexpr std::string_view kSample =
    "   7       0 loop0 15 0 30 0 0 0 0 0 0 4 0 0 0 0 0 0 0\n"
    " 254       0 vda 43306 6721 2553930 8047 19808 8860 5392392 9297 0 7400 19362 4731 7 446808 616 1683 1400\n"
    " 254       1 vda1 43000 6700 2550000 8000 19800 8800 5390000 9200 0 7300 19300 4700 7 446800 0 0 0\n"
    " 253       0 zram0 5 0 40 0 9 0 72 0 0 0 0 0 0 0 0 0 0\n"
    " 252       0 dm-0 77 0 616 0 88 0 704 0 0 0 0 0 0 0 0 0 0\n"
    "   9       0 md0 11 0 88 0 22 0 176 0 0 0 0 0 0 0 0 0 0\n"
    " 259       0 nvme0n1 900 0 7200 0 100 0 800 0 0 0 0 0 0 0 0 0 0\n"
    " 259       1 nvme0n1p1 800 0 6400 0 90 0 720 0 0 0 0 0 0 0 0 0 0\n";

Counts Read(std::string_view text, const std::vector<std::string>& disks = kDisks) {
  Counts out(disks.size());
  ReadDiskTransfers(text, disks, out);
  return out;
}

struct ParseCase {
  const char* name;
  std::string_view text;
  Counts expected;
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ReadsReadsPlusWritesOfTheNamedDisksOnly) { EXPECT_EQ(Read(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Diskstats, ParseTest,
    ::testing::Values(
        ParseCase{"WholeDisksAmongPartitionsAndVirtualDevices", kSample, {63114, 1000}},
        ParseCase{"TabsAndMinimalFields", "254\t0\tvda\t1 0 0 0\t2 0 0 0\n", {3, {}}},
        ParseCase{"LastLineCutShort", "259 0 nvme0n1 5 0 0 0 7 0 0 0\n254 0 vda 43306 6721 2553930 8047 198", {{}, 12}},
        ParseCase{"NotNumbers", "254 0 vda x 0 0 0 2 0 0 0\n2x4 0 nvme0n1 1 0 0 0 2 0 0 0\n", {{}, {}}},
        ParseCase{"SumPastSixtyFourBits", "254 0 vda 18446744073709551615 0 0 0 1 0 0 0\n", {{}, {}}},
        ParseCase{"FirstGoodLineWins", "254 0 vda x\n254 0 vda 1 0 0 0 1 0 0 0\n254 0 vda 9 0 0 0 9 0 0 0\n", {2, {}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct Step {
  Counts counts;
  std::uint64_t ms;
  bool taken;
  double rate;
};
struct RateCase {
  const char* name;
  std::vector<Step> steps;
};
void PrintTo(const RateCase& c, std::ostream* os) { *os << c.name; }

class RateTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(RateTest, FollowsEachDiskCounter) {
  DiskRate rate(2, 1000);
  for (std::size_t i = 0; i < GetParam().steps.size(); ++i) {
    const Step& step = GetParam().steps[i];
    EXPECT_EQ(rate.Add(step.counts, step.ms), step.taken) << "step " << i;
    EXPECT_DOUBLE_EQ(rate.Value(), step.rate) << "step " << i;
  }
}

constexpr std::uint64_t k32 = 0xFFFFFFF0u;
INSTANTIATE_TEST_SUITE_P(
    Diskstats, RateTest,
    ::testing::Values(RateCase{"ZeroUntilTwoSamples", {{{5, 7}, 0, true, 0}, {{8, 7}, 30, true, 100}}},
                      RateCase{"SumsDisksOverElapsedTime", {{{100, 10}, 0, true, 0}, {{130, 40}, 500, true, 120}}},
                      RateCase{"WrappedCounterAddsNothingThenCountsOn",
                               {{{k32, 0}, 0, true, 0}, {{5, 0}, 1000, true, 0}, {{25, 0}, 2000, true, 20}}},
                      RateCase{"AppearingDiskAddsNothingFirst",
                               {{{100, {}}, 0, true, 0}, {{110, 5000}, 1000, true, 10}, {{120, 5030}, 2000, true, 40}}},
                      RateCase{"NoDiskReadIsRefusedAndSkipped",
                               {{{100, 0}, 0, true, 0}, {{{}, {}}, 1000, false, 0}, {{130, 0}, 3000, true, 10}}},
                      RateCase{"TimeNotMovingIsNotASample",
                               {{{100, 0}, 1000, true, 0}, {{200, 0}, 1000, true, 0}, {{300, 0}, 2000, true, 200}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace np
