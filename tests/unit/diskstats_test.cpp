// A disk's stat line and the disk rate: per-disk growth, bad input.
#include "platform/common/diskstats.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace np {
namespace {

using Counts = std::vector<DiskTransfers>;

struct ParseCase {
  const char* name;
  std::string_view text;
  DiskTransfers expected;
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ReadsReadsPlusWritesOfTheLine) { EXPECT_EQ(ReadStatTransfers(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Stat, ParseTest,
    ::testing::Values(
        // The kernel's layout: 43306 reads, 19808 writes.
        ParseCase{"KernelLayout",
                  "   43306     6721  2553930     8047    19808     8860  5392392     9297        0     7400    19362"
                  "     4731        7   446808      616     1683     1400\n",
                  63114},
        ParseCase{"TabsAndMinimalFields", "1 0 0 0\t2\n", 3},
        ParseCase{"OnlyTheFirstLine", "5 0 0 0 7\n9 0 0 0 9\n", 12},
        ParseCase{"CutShort", "43306 6721 2553930 8047 198", {}},
        ParseCase{"TooFewFields", "43306 6721 2553930 8047\n", {}},
        ParseCase{"NotNumbers", "x 0 0 0 2\n", {}},
        ParseCase{"SumPastSixtyFourBits", "18446744073709551615 0 0 0 1\n", {}}),
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
    Stat, RateTest,
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
