// Disk sampling: the rate text, the hold, and what one sample notification
// does with the readings, the Scroll Lock key and the Settings window.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/rate.h"
#include "tests/unit/fake_platform.h"
#include "program/program.h"

namespace np {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(RateText, IsTheStandardConversionWithTheUsersSeparator) {
  struct Case {
    double reading;
    const wchar_t* separator;
    const wchar_t* text;
  } cases[] = {
      // Fifteen digits, rounded (a carry may add a place), then the plain form from 1E-5 to below 1E+15.
      {100.0 / 3, L".", L"33.3333333333333"}, {2.0 / 3 * 1e-7, L".", L"6.66666666666667E-8"},
      {999999999999999.9, L".", L"1E+15"},    {123456789012345, L".", L"123456789012345"},
      {0.00001, L".", L"0.00001"},            {0.000002, L".", L"2E-6"},
      {12, L".", L"12"},                      {-0.0, L".", L"0"},
      {-4.75, L".", L"-4.75"},                {2.5, L",", L"2,5"},
      {1.5e20, L",", L"1,5E+20"},             {kNaN, L".", L"NaN"},
      {-kInf, L".", L"-Infinity"}};
  for (const Case& c : cases) {
    EXPECT_EQ(RateText(c.reading, [&] { return std::wstring(c.separator); }), c.text) << c.reading;
  }
}

TEST(HoldMs, RoundsToEvenAndHoldsAtMostASecond) {
  struct Case {
    double reading;
    std::int32_t hold;
  } cases[] = {{0.5, 0},       {1.5, 2},       {2.5, 2},        {-1, 0},           {999.4, 999},
               {999.5, 1000}, {1000.4, 1000}, {1000.5, 1000}, {40000, 1000}, {2147483647.4, 1000}};
  for (const Case& c : cases) EXPECT_EQ(HoldMs(c.reading), c.hold) << c.reading;
  for (double out : {kNaN, kInf, 2147483647.5, 1e300}) EXPECT_THROW(HoldMs(out), RuntimeError) << out;
}

class SampleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.Start());
    fake.log.Clear();
    start_events = fake.keyboard.Events().size();
  }
  // Exactly one tick, and so one notification, with these readings.
  void Sample(std::vector<double> readings) {
    fake.disks.Script(std::move(readings));
    const int collects = fake.disks.Collects();
    while (fake.disks.Collects() == collects) fake.RunFor(1);
  }
  std::wstring Text() { return fake.windows.Text(program.Settings().Get()->txtDisp); }
  std::size_t KeyEvents() const { return fake.keyboard.Events().size() - start_events; }

  FakePlatform fake;
  Program program{fake.platform};
  std::size_t start_events = 0;
};

TEST_F(SampleTest, TheFirstReadingIsShownTheSecondDecidesTheThirdHolds) {
  struct Case {
    std::vector<double> readings;
    const wchar_t* text;
    int readings_taken;
    std::vector<std::uint32_t> sleeps;
  } cases[] = {{{5, 0}, L"5", 2, {}}, {{0, 7, 33.4}, L"0", 3, {33}}, {{2.5, 0}, L"2,5", 2, {}}};
  fake.locale.separator = L",";  // the user's
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.readings));
    fake.log.Clear();
    const int before = fake.disks.Readings();
    const std::size_t events = KeyEvents();
    Sample(c.readings);
    EXPECT_EQ(Text(), c.text);
    EXPECT_EQ(fake.disks.Readings() - before, c.readings_taken);
    std::vector<std::uint32_t> sleeps;
    for (const auto& call : fake.log.Calls()) {
      if (call.what.rfind("Sleep ", 0) == 0) sleeps.push_back(std::stoul(call.what.substr(6)));
    }
    EXPECT_EQ(sleeps, c.sleeps);
    EXPECT_EQ(KeyEvents() - events, c.sleeps.empty() ? 0u : 6u) << "two pulses per flash";
    EXPECT_FALSE(fake.keyboard.LockOn(kVkScrollLock));
  }
}

TEST_F(SampleTest, AHoldThatCannotBeMadeStillEndsTheFlashAndIsReportedOnce) {
  Sample({1, 1, 2147483647.5});
  Sample({1, 1, kNaN});
  EXPECT_EQ(KeyEvents(), 12u);
  EXPECT_FALSE(fake.keyboard.LockOn(kVkScrollLock));
  EXPECT_EQ(fake.boxes.Shown().size(), 1u);
}

// A lost counter is told once and reopened quietly, once a second: one that
// stays away must not cost a reopen a tick nor raise a box after every dismissal.
TEST_F(SampleTest, ALostSourceIsToldOnceAndReopenedQuietlyOnceASecond) {
  Sample({0});
  fake.disks.FailNextReading("counter value");
  Sample({9});
  EXPECT_EQ(Text(), L"0") << "stopped before the text";
  fake.disks.available = false;
  const int opens = fake.disks.Opens();
  fake.RunFor(5000);
  const int tries = fake.disks.Opens() - opens;
  EXPECT_TRUE(tries == 4 || tries == 5) << tries << " tries: one a second, not one a tick";
  EXPECT_EQ(fake.boxes.Shown().size(), 1u) << "one message for the whole outage";
  EXPECT_EQ(fake.tray.IconCount(), 1u);

  fake.disks.available = true;
  Sample({4, 0});
  EXPECT_EQ(Text(), L"4");
  EXPECT_EQ(fake.disks.OpenSources(), 1) << "the lost source is released";
}

// One box at a time: a counter lost inside another box's loop is told once
// that box has gone, and the sample that showed the box reads nothing more.
TEST(LostCounter, ALossWhileAnotherBoxIsOpenIsToldAfterItAndEndsTheSampleUnderIt) {
  for (const bool settings_box : {true, false}) {  // Settings cannot name its entry, or a flash too long to hold
    FakePlatform fake;
    Program program(fake.platform);
    ASSERT_TRUE(program.Start());
    if (settings_box) fake.app.module_file_name = L"C:\\";
    fake.disks.Script(settings_box ? std::vector<double>{5} : std::vector<double>{1, 1, 2147483647.5});
    fake.boxes.while_open = [&fake] {
      if (fake.boxes.Shown().size() > 1) return;
      fake.disks.available = false;
      fake.RunFor(3000);
    };
    fake.RunFor(10000);
    ASSERT_EQ(fake.boxes.Shown().size(), 2u) << settings_box;
    EXPECT_EQ(fake.boxes.Shown()[1].text, L"Run-time error: no disk source");
    EXPECT_FALSE(fake.keyboard.LockOn(kVkScrollLock));
  }
}

// The loss rules walked through event sequences, one letter a step: L the
// counter goes, B it is back, O another error box opens, C the box shown last
// closes (a box runs the steps after it until its C, as its modal loop runs
// ticks), t 100 ms pass, s a second, m two minutes.
TEST(LostCounter, IsToldExactlyWhenNoBoxHidesItAndTheCounterIsStillMissing) {
  struct Case {
    const char* what;
    std::string steps;
    int told;  // boxes that tell of the disk source
  } cases[] = {
      {"owed under a box, back a while and gone again before it closes: told after it", "LtCBmOLtBssLtCtC", 2},
      {"gone and back under a box closed within a second of the loss: not told", "OLtBCt", 0},
      {"gone under a box and still missing after it: told", "OLtCtCs", 1},
      {"told, back for less than a minute, gone under a box: not told again", "LtCBssOLtCs", 1},
      {"told, back for two minutes, gone again: told again, in the same words", "LtCBmLtC", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake;
    Program program(fake.platform);
    ASSERT_TRUE(program.Start());
    fake.RunFor(100);
    std::size_t next = 0;
    std::function<void()> run = [&] {
      while (next < c.steps.size()) {
        const char step = c.steps[next++];
        if (step == 'C') return;
        if (step == 'L' || step == 'B') fake.disks.available = step == 'B';
        if (step == 'O') fake.errors.Report("another error");
        if (step == 't' || step == 's' || step == 'm') fake.RunFor(step == 't' ? 100 : step == 's' ? 1000 : 120000);
      }
    };
    fake.boxes.while_open = run;
    run();
    int told = 0;
    for (const auto& box : fake.boxes.Shown()) told += box.text.find(L"disk source") != std::wstring::npos;
    EXPECT_EQ(told, c.told);
  }
}

// Started at logon, before the taskbar and the disk counter: the shell refuses
// the first add, and the source cannot be opened.
TEST(Startup, BeforeTheTaskbarAndTheCounterTheIconAndTheLightComeWithThem) {
  FakePlatform fake;
  fake.disks.available = false;
  fake.tray.FailNextCall();
  Program program(fake.platform);
  ASSERT_TRUE(program.Start());
  const std::size_t sweep = fake.keyboard.Events().size();
  fake.RunFor(3000);
  EXPECT_EQ(fake.boxes.Shown().size(), 1u) << "the missing counter told once";
  EXPECT_EQ(fake.tray.IconCount(), 0u);
  fake.windows.BroadcastTaskbarCreated();
  EXPECT_EQ(fake.tray.IconCount(), 1u);
  fake.disks.available = true;
  fake.disks.Script({50});
  fake.RunFor(1100);
  EXPECT_GT(fake.keyboard.Events().size(), sweep) << "the light works again";
  EXPECT_FALSE(fake.keyboard.LockOn(kVkScrollLock));
}

}  // namespace
}  // namespace np
