// The window rule every window follows, and the twips that lay windows out.
#include "runtime/form.h"

#include <gtest/gtest.h>

#include "platform/common/twips.h"
#include "tests/unit/fake_platform.h"

namespace np {
namespace {

// A window of the program as the singleton rule sees it: counts its loads.
class Counted final : public Form {
 public:
  Counted(Platform& platform, int& loads) : Form(platform, {L"Counted", 100, 100, FormKind::kFixedDialog}) {
    ++loads;
  }
};

TEST(FormSingleton, CreatesOnFirstReferenceAndAgainAfterTheUserClosedItOrACreationFailed) {
  FakePlatform fake;
  int loads = 0;
  FormSingleton<Counted> counted([&] { return std::make_unique<Counted>(fake.platform, loads); });
  fake.windows.FailNextCreate();
  EXPECT_THROW(counted.Get(), RuntimeError);
  EXPECT_FALSE(counted.Exists());
  const WindowId first = counted.Get()->Id();
  counted.Get();
  counted.Show();
  counted.Show();
  EXPECT_EQ(loads, 1);
  EXPECT_TRUE(fake.windows.Find(first)->visible);

  fake.windows.UserClose(first);
  EXPECT_FALSE(counted.Exists());
  const WindowId second = counted.Get()->Id();
  EXPECT_EQ(loads, 2);
  EXPECT_NE(second, first);
  EXPECT_FALSE(fake.windows.Find(second)->visible) << "a reference creates it hidden";
  EXPECT_EQ(fake.windows.FormCount(), 1u);
}

// A window whose handler runs a nested call (a box, the shell) and then reads itself.
class Nesting final : public Form {
 public:
  Nesting(Platform& platform, std::function<void()>& nested, int& handled)
      : Form(platform, {L"Nesting", 100, 100, FormKind::kFixedDialog}), nested_(nested), handled_(handled) {}

 private:
  void MouseMove(int /*x*/, int /*y*/) override {
    nested_();
    ++handled_;
  }
  std::function<void()>& nested_;
  int& handled_;
};

TEST(FormSingleton, AWindowClosedAndMadeAnewInsideItsOwnHandlerLivesUntilTheHandlerReturns) {
  FakePlatform fake;
  std::function<void()> nested = [] {};
  int handled = 0;
  FormSingleton<Nesting> nesting([&] { return std::make_unique<Nesting>(fake.platform, nested, handled); });
  const WindowId first = nesting.Get()->Id();
  nested = [&] {
    fake.windows.UserClose(first);
    nesting.Show();
  };
  fake.windows.PostMouseMove(first, 1, 1);
  EXPECT_EQ(handled, 1);
  EXPECT_NE(nesting.Get()->Id(), first);
}

TEST(Twips, BecomePixelsAtTheScreensDpi) {
  struct Case {
    double twips;
    int dpi, pixels;
  } cases[] = {{2310, 96, 154},  {1350, 96, 90},   {240, 96, 16}, {7, 96, 0},   {8, 96, 1},    {7.5, 96, 1},
               {2310, 120, 193}, {2310, 144, 231}, {-15, 96, -1}, {18, 120, 2}, {-18, 120, -2}, {0, 96, 0}};
  for (const Case& c : cases) EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << "@" << c.dpi;
}

}  // namespace
}  // namespace np
