// The fakes must behave like the real thing where a wrong fake would hide a
// bug: timers under a blocked thread, check box notifications, the window rule.
#include <gtest/gtest.h>

#include "core/form.h"
#include "platform/common/twips.h"
#include "platform/fake/fake_platform.h"

namespace np {
namespace {

struct Recorder : FormEvents {
  std::vector<std::uint64_t> ticks;
  std::vector<ControlId> clicks;
  FakeClock* clock = nullptr;
  std::uint32_t sleep_in_tick = 0;
  void OnTimer(int) override {
    ticks.push_back(clock->NowMs());
    if (sleep_in_tick != 0) clock->Sleep(std::exchange(sleep_in_tick, 0));
  }
  void OnControlClick(ControlId box) override { clicks.push_back(box); }
};

TEST(FakeTimers, TicksMissedDuringASleepAreDeliveredOnce) {
  FakePlatform fake;
  Recorder r;
  r.clock = &fake.clock;
  r.sleep_in_tick = 100;  // the first tick blocks the thread for 100 ms
  const WindowId form = fake.windows.CreateForm({L"", 100, 100, FormKind::kHidden}, r);
  fake.windows.StartTimer(form, 1, 30);
  fake.RunFor(200);
  EXPECT_EQ(r.ticks, (std::vector<std::uint64_t>{30, 130, 150, 180}));
}

TEST(FakeTimers, SleepLetsTheWorldActButHandlesNoMessage) {
  FakePlatform fake;
  Recorder r;
  r.clock = &fake.clock;
  const WindowId form = fake.windows.CreateForm({L"", 100, 100, FormKind::kHidden}, r);
  fake.windows.StartTimer(form, 1, 30);
  bool acted = false;
  fake.clock.At(50, [&] { acted = true; });
  fake.clock.Sleep(100);
  EXPECT_TRUE(acted);
  EXPECT_TRUE(r.ticks.empty());
}

TEST(FakeCheckBox, RaisesClickOnEveryChangeAndOnlyThen) {
  FakePlatform fake;
  Recorder r;
  const WindowId form = fake.windows.CreateForm({L"x", 100, 100, FormKind::kFixedDialog}, r);
  const ControlId box = fake.windows.AddCheckBox(form, {0, 0, 10, 10}, L"box");
  fake.windows.SetCheckValue(box, 0);  // unchanged
  fake.windows.SetCheckValue(box, 1);
  fake.windows.SetCheckValue(box, 1);  // unchanged
  fake.windows.UserClick(box);
  EXPECT_EQ(r.clicks.size(), 2u);
  EXPECT_EQ(fake.windows.CheckValue(box), 0);
}

TEST(FakeWindows, AClosedWindowTakesItsControlsAndTimersWithIt) {
  FakePlatform fake;
  Recorder r;
  r.clock = &fake.clock;
  const WindowId form = fake.windows.CreateForm({L"x", 100, 100, FormKind::kFixedDialog}, r);
  const ControlId box = fake.windows.AddCheckBox(form, {0, 0, 10, 10}, L"box");
  fake.windows.StartTimer(form, 1, 30);
  fake.windows.UserClose(form);
  fake.RunFor(100);
  EXPECT_TRUE(r.ticks.empty());
  EXPECT_THROW(fake.windows.CheckValue(box), RuntimeError);
}

// A window of the program as the singleton rule sees it: counts its loads.
class Counted final : public Form {
 public:
  Counted(WindowSystem& windows, int& loads) : Form(windows, {L"Counted", 100, 100, FormKind::kFixedDialog}) {
    ++loads;
  }
};

TEST(FormSingleton, CreatesOnFirstReferenceAndAgainAfterTheUserClosedIt) {
  FakePlatform fake;
  int loads = 0;
  FormSingleton<Counted> counted([&] { return std::make_unique<Counted>(fake.windows, loads); });
  EXPECT_FALSE(counted.Exists());
  const WindowId first = counted.Get().Id();
  counted.Get();
  counted.Show();
  EXPECT_EQ(loads, 1);
  EXPECT_TRUE(fake.windows.Find(first)->visible);

  fake.windows.UserClose(first);
  EXPECT_FALSE(counted.Exists());
  const WindowId second = counted.Get().Id();
  EXPECT_EQ(loads, 2);
  EXPECT_NE(second, first);
  EXPECT_FALSE(fake.windows.Find(second)->visible) << "a reference creates it hidden";
  EXPECT_EQ(fake.windows.FormCount(), 1u);
}

TEST(FormSingleton, AFailedCreationLeavesNothingAndIsTriedAgain) {
  FakePlatform fake;
  int loads = 0;
  FormSingleton<Counted> counted([&] { return std::make_unique<Counted>(fake.windows, loads); });
  fake.windows.FailNextCreate();
  EXPECT_THROW(counted.Get(), RuntimeError);
  EXPECT_FALSE(counted.Exists());
  counted.Get();
  EXPECT_EQ(loads, 1);
}

TEST(Twips, BecomePixelsAtTheScreensDpi) {
  struct Case {
    int twips, dpi, pixels;
  } cases[] = {{2310, 96, 154},  {1350, 96, 90},   {240, 96, 16}, {7, 96, 0}, {8, 96, 1},
               {2310, 120, 193}, {2310, 144, 231}, {-15, 96, -1}, {0, 96, 0}};
  for (const Case& c : cases) EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << "@" << c.dpi;
}

}  // namespace
}  // namespace np
