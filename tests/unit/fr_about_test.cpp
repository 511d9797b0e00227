// The About window: the line animation, the link colours under the pointer, the
// links handed to the shell, and one window per reference.
#include "about/fr_about.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/unit/fake_platform.h"
#include "program/program.h"

namespace np {
namespace {

// Client pixels at 96 DPI: one point inside each thing the pointer can be over.
struct Point {
  const char* name;
  int x, y;
};
constexpr Point kLabel3{"Label3", 100, 208}, kLabel6{"Label6", 100, 184}, kLabel8{"Label8", 300, 208},
    kImage1{"Image1", 200, 70}, kSurface{"surface", 200, 165}, kOnLine1{"Line1", 250, 240};

class AboutTest : public ::testing::Test {
 protected:
  frAbout& About() { return *program.About().Get(); }
  WindowId Form() { return About().Id(); }
  Colour Fore(ControlId label) { return fake.windows.Control(label).label->fore_colour; }
  LineEnds Ends(ControlId line) { return fake.windows.Control(line).line->ends; }
  bool Ticking() { return fake.windows.Find(Form())->timers.count(kAboutTimer1) != 0; }
  void PointAt(const Point& p) { fake.windows.UserPointAt(Form(), p.x, p.y); }
  // The window shows no message of its own: any box would be an error report.
  void TearDown() override { EXPECT_TRUE(fake.boxes.Shown().empty()); }

  FakePlatform fake;
  Program program{fake.platform};
};

// After n ticks each line runs from 100 n to 7560 - 100 n; the timer stops in
// the tick that takes the end x to 0 or below.
TEST_F(AboutTest, LinesShrinkToTheCentreCrossAndGrowBackThenTheTimerStops) {
  struct Step {
    int ticks;
    float x1, x2;
    bool ticking;
  } steps[] = {{0, 0, 7560, true},   {37, 3700, 3860, true},  {38, 3800, 3760, true},
               {75, 7500, 60, true}, {76, 7600, -40, false}, {1000, 7600, -40, false}};
  int done = 0;
  for (const Step& s : steps) {
    fake.RunFor(s.ticks - done);  // one tick per millisecond
    done = s.ticks;
    for (ControlId line : {About().Line1, About().Line2}) {
      const float y = line == About().Line1 ? 3600.0f : 2280.0f;
      const LineEnds e = Ends(line);
      EXPECT_EQ((std::array{e.x1, e.y1, e.x2, e.y2}), (std::array{s.x1, y, s.x2, y})) << "after " << s.ticks;
    }
    EXPECT_EQ(Ticking(), s.ticking) << "after " << s.ticks;
  }
}

// Label3 and Label6 after each move: there is no leave event, so a link keeps
// the highlight until the pointer crosses bare surface, Label3 turning first.
TEST_F(AboutTest, LinksTakeTheHighlightUnderThePointerAndLoseItOnlyOverBareSurface) {
  constexpr Colour B = kLinkBlue, H = kSysHighlight;
  for (ControlId n : {About().Label1, About().Label2})
    EXPECT_EQ(fake.windows.Control(n).label->back_colour, kSysActiveBorder) << "the notices stand apart";
  struct Move {
    Point at;
    Colour label3, label6;
  } path[] = {{kLabel3, H, B}, {kLabel8, H, B}, {kImage1, H, B}, {kLabel6, H, H}, {kOnLine1, B, B}};
  for (const Move& move : path) {
    fake.log.Clear();
    PointAt(move.at);
    EXPECT_EQ((std::array{Fore(About().Label3), Fore(About().Label6)}), (std::array{move.label3, move.label6}))
        << "after " << move.at.name;
  }
  const std::string label3 = std::to_string(About().Label3), label6 = std::to_string(About().Label6);
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"SetForeColour " + label3 + " 00FF0000",
                                                        "SetForeColour " + label6 + " 00FF0000"}));
}

// The shell's answer is never looked at: no handler for links changes nothing.
TEST_F(AboutTest, LeftClicksOnTheLinksAndThePictureHandTheShellTheirLink) {
  fake.shell.handler_registered = false;
  const std::wstring mail = L"mailto:support@norvane.example?Subject=Norvane Pellumin&Body=";
  const std::wstring web = L"http://www.norvane.example";
  struct Click {
    Point at;
    MouseButton button;
    std::wstring file;  // empty: nothing reaches the shell
  } clicks[] = {{kLabel3, MouseButton::kLeft, mail},  {kLabel6, MouseButton::kLeft, web},
                {kImage1, MouseButton::kLeft, web},   {kLabel3, MouseButton::kRight, L""},
                {kLabel6, MouseButton::kMiddle, L""}, {kSurface, MouseButton::kLeft, L""}};
  for (const Click& c : clicks) {
    const std::size_t before = fake.shell.Calls().size();
    fake.windows.UserClickAt(Form(), c.at.x, c.at.y, c.button);
    SCOPED_TRACE(testing::Message() << c.at.name << " button " << static_cast<int>(c.button));
    ASSERT_EQ(fake.shell.Calls().size(), before + (c.file.empty() ? 0 : 1));
    if (c.file.empty()) continue;
    const ShellExecuteRecord& call = fake.shell.Calls().back();
    EXPECT_EQ(call.owner, 0u);
    EXPECT_EQ((std::array{call.operation, call.file, call.parameters, call.directory}),
              (std::array<std::wstring, 4>{L"Open", c.file, L"", L""}));
    EXPECT_EQ(call.show_command, 1);
  }
  EXPECT_TRUE(program.About().Exists());
}

// With no mail program the shell shows its own box, whose nested loop lets the
// user close About: nothing of the window may be read once the call returns.
TEST_F(AboutTest, AClickReadsNothingOfItsWindowAfterTheShellReturns) {
  auto about = std::make_unique<frAbout>(fake.platform);
  fake.shell.while_running = [&] { about.reset(); };
  fake.windows.UserClickAt(about->Id(), kLabel3.x, kLabel3.y, MouseButton::kLeft);
  EXPECT_EQ(fake.shell.Calls().size(), 1u);
}

}  // namespace
}  // namespace np
