// The About window: its layout, the line animation, the link colours under
// the pointer, the links handed to the shell, and one window per reference.
#include "about/fr_about.h"

#include <gtest/gtest.h>

#include <array>

#include "about/maker.h"
#include "program/program.h"
#include "platform/fake/fake_platform.h"
#include "resources/resource_ids.h"

namespace np {
namespace {

// Client pixels at 96 DPI: one point inside each thing the pointer can be over.
struct Point {
  const char* name;
  int x, y;
};
constexpr Point kLabel3{"Label3", 100, 208}, kLabel6{"Label6", 100, 184}, kLabel8{"Label8", 300, 208},
    kLabel5{"Label5", 30, 184}, kImage1{"Image1", 200, 70}, kSurface{"surface", 200, 165}, kOnLine1{"Line1", 250, 240},
    kAddressEnd{"the end of Label6's address", 215, 184}, kOnLine2{"Line2", 250, 152}, kCorner{"corner", 493, 8};

class AboutTest : public ::testing::Test {
 protected:
  frAbout& About() { return *program.About().Get(); }
  WindowId Form() { return About().Id(); }
  const FakeControl& Control(ControlId id) { return fake.windows.Control(id); }
  Colour Fore(ControlId label) { return Control(label).label->fore_colour; }
  LineEnds Ends(ControlId line) { return Control(line).line->ends; }
  bool Ticking() { return fake.windows.Find(Form())->timers.count(kAboutTimer1) != 0; }
  void PointAt(const Point& p) { fake.windows.UserPointAt(Form(), p.x, p.y); }
  void ClickAt(const Point& p, MouseButton b) { fake.windows.UserClickAt(Form(), p.x, p.y, b); }
  // The window shows no message of its own: any box would be an error report.
  void TearDown() override { EXPECT_TRUE(fake.boxes.Shown().empty()); }

  FakePlatform fake;
  Program program{fake.platform};
};

TEST_F(AboutTest, IsCreatedHiddenAsAFixedDialogWithItsLabels) {
  const FakeForm* form = fake.windows.Find(Form());
  EXPECT_EQ(form->design.caption, L"Norvane Pellumin v1.0");
  EXPECT_EQ((std::array{form->design.client_width_twips, form->design.client_height_twips}), (std::array{7470, 4440}));
  EXPECT_EQ(form->design.kind, FormKind::kFixedDialog);
  EXPECT_FALSE(form->visible);

  struct Row {
    ControlId id;
    std::array<int, 4> rect;
    std::wstring caption;
    Alignment align;
    Colour fore, back;
    bool link;
  };
  const frAbout& a = About();
  constexpr Colour kText = kSysButtonText, kFace = kSysButtonFace, kBlue = 0xFF0000;
  constexpr Alignment kLeft = Alignment::kLeft, kCentre = Alignment::kCentre;
  // clang-format off
  const Row rows[] = {
      {a.Label5, {120, 2640, 735, 255}, L"WWW:", kCentre, kText, kFace, false},
      {a.Label6, {960, 2640, 2385, 255}, L"http://www.norvane.example", kLeft, kBlue, kFace, true},
      {a.Label1, {3360, 2640, 3975, 255}, L"This Software is completly free! Enjoy it!", kLeft, 0x80000008, 0x8000000A, false},
      {a.Label7, {120, 3000, 735, 255}, L"E-Mail:", kCentre, kText, kFace, false},
      {a.Label3, {960, 3000, 2385, 255}, L"support@norvane.example", kLeft, kBlue, kFace, true},
      {a.Label8, {3360, 3000, 3375, 255}, L"Norvane Pellumin Ver.: 1.0", kLeft, kText, kFace, false},
      {a.Label4, {0, 3840, 7455, 255}, kAuthorLine, kCentre, kText, kFace, false},
      {a.Label2, {0, 4080, 7455, 255}, kRightsNotice, kCentre, 0x80000008, 0x8000000A, false},
  };
  // clang-format on
  for (const Row& row : rows) {
    const LabelDesign& l = *Control(row.id).label;
    SCOPED_TRACE(testing::Message() << "label at " << row.rect[0] << "," << row.rect[1]);
    EXPECT_EQ((std::array{l.rect.left, l.rect.top, l.rect.width, l.rect.height}), row.rect);
    EXPECT_EQ(l.caption, row.caption);
    EXPECT_EQ(l.alignment, row.align);
    EXPECT_EQ((std::array{l.fore_colour, l.back_colour}), (std::array{row.fore, row.back}));
    EXPECT_EQ(l.font, (FontDesign{L"Arial", 9, 400, row.link, kAnsiCharset}));
    EXPECT_EQ(l.pointer_resource, row.link ? IDC_HAND_POINTER : 0);
  }
  EXPECT_EQ(Control(a.Label3).label->tooltip, L"Send E-Mail");
  EXPECT_EQ(Control(a.Label6).label->tooltip, L"Visit www.norvane.example");

  const PictureDesign& picture = *Control(a.Image1).picture;
  EXPECT_EQ((std::array{picture.rect.left, picture.rect.top, picture.rect.width, picture.rect.height}),
            (std::array{240, 240, 6990, 1770}));
  EXPECT_EQ((std::array{picture.bitmap_resource, picture.pointer_resource}),
            (std::array{IDB_BANNER, IDC_HAND_POINTER}));
  EXPECT_EQ(picture.tooltip, L"Visit www.norvane.example");
  for (ControlId line : {a.Line1, a.Line2}) {
    EXPECT_EQ(Control(line).line->width_pixels, 6);
    EXPECT_EQ(Control(line).line->colour, kSysWindowText);
  }
}

// After n ticks each line runs from 100 n to 7560 - 100 n; the timer stops in
// the tick that takes the end x to 0 or below.
TEST_F(AboutTest, LinesShrinkToTheCentreCrossAndGrowBackThenTheTimerStops) {
  struct Step {
    int ticks;
    float x1, x2;
    bool ticking;
  } steps[] = {{0, 0, 7560, true},   {1, 100, 7460, true},   {37, 3700, 3860, true},  {38, 3800, 3760, true},
               {75, 7500, 60, true}, {76, 7600, -40, false}, {1000, 7600, -40, false}};
  EXPECT_EQ(fake.windows.Find(Form())->timers.at(kAboutTimer1).interval_ms, 1u);
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

TEST_F(AboutTest, ClosingEndsTheAnimationAndATickAfterwardsMovesNothing) {
  frAbout& about = About();
  fake.RunFor(10);
  fake.windows.UserClose(about.Id());
  fake.log.Clear();
  fake.RunFor(200);
  EXPECT_TRUE(fake.log.Calls().empty());
  static_cast<FormEvents&>(about).OnTimer(kAboutTimer1);  // one already queued, say
  EXPECT_TRUE(fake.log.Calls().empty());
}

TEST_F(AboutTest, ShowingAgainWhileOpenKeepsTheWindowAndItsAnimation) {
  program.About().Show();
  fake.RunFor(10);
  const WindowId first = Form();
  program.About().Show();
  fake.RunFor(27);
  EXPECT_EQ(Form(), first);
  EXPECT_EQ(fake.windows.FormsCreated(), 1u);
  EXPECT_EQ(Ends(About().Line1).x1, 3700.0f);

  fake.windows.UserClose(first);
  program.About().Show();
  EXPECT_NE(Form(), first);
  EXPECT_TRUE(fake.windows.Find(Form())->visible);
  EXPECT_EQ(Ends(About().Line2).x2, 7560.0f) << "a new load starts from full width";
  fake.RunFor(37);
  EXPECT_EQ(Ends(About().Line2).x2, 3860.0f);
  EXPECT_TRUE(Ticking());
}

// Each path is a sequence of pointer positions with the colours of Label3 and
// Label6 after each move.
TEST_F(AboutTest, LinksTakeTheHighlightUnderThePointerAndLoseItOnlyOverBareSurface) {
  constexpr Colour B = kLinkBlue, H = kSysHighlight;
  struct Move {
    Point at;
    Colour label3, label6;
  };
  const std::vector<std::vector<Move>> paths = {
      {{kLabel3, H, B}, {kLabel8, H, B}, {kImage1, H, B}, {kSurface, B, B}},
      {{kLabel6, B, H}, {kLabel5, B, H}, {kLabel3, H, H}, {kOnLine1, B, B}},
      {{kImage1, B, B}, {kAddressEnd, B, H}, {kOnLine2, B, B}, {kLabel6, B, H}, {kCorner, B, B}},
  };
  for (const auto& path : paths) {
    program.About().Show();
    for (const Move& move : path) {
      PointAt(move.at);
      EXPECT_EQ((std::array{Fore(About().Label3), Fore(About().Label6)}), (std::array{move.label3, move.label6}))
          << "after " << move.at.name << " in a path from " << path[0].at.name;
    }
    fake.windows.UserClose(Form());
  }
}

TEST_F(AboutTest, SurfaceTurnsLabel3BlueFirstThenLabel6) {
  PointAt(kLabel3);
  fake.log.Clear();
  PointAt(kSurface);
  const std::string label3 = std::to_string(About().Label3), label6 = std::to_string(About().Label6);
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"SetForeColour " + label3 + " 00FF0000",
                                                        "SetForeColour " + label6 + " 00FF0000"}));
}

TEST_F(AboutTest, LeftClicksOnTheLinksAndThePictureHandTheShellTheirLink) {
  const std::wstring mail = L"mailto:support@norvane.example?Subject=Norvane Pellumin&Body=";
  const std::wstring web = L"http://www.norvane.example";
  struct Click {
    Point at;
    MouseButton button;
    std::wstring file;  // empty: nothing reaches the shell
  } clicks[] = {
      {kLabel3, MouseButton::kLeft, mail}, {kLabel6, MouseButton::kLeft, web},   {kImage1, MouseButton::kLeft, web},
      {kLabel3, MouseButton::kRight, L""}, {kLabel6, MouseButton::kMiddle, L""}, {kImage1, MouseButton::kRight, L""},
      {kLabel8, MouseButton::kLeft, L""},  {kSurface, MouseButton::kLeft, L""},  {kOnLine1, MouseButton::kLeft, L""},
  };
  for (const Click& c : clicks) {
    const std::size_t before = fake.shell.Calls().size();
    ClickAt(c.at, c.button);
    SCOPED_TRACE(testing::Message() << c.at.name << " button " << static_cast<int>(c.button));
    if (c.file.empty()) {
      EXPECT_EQ(fake.shell.Calls().size(), before);
      continue;
    }
    ASSERT_EQ(fake.shell.Calls().size(), before + 1);
    const ShellExecuteRecord& call = fake.shell.Calls().back();
    EXPECT_EQ(call.owner, 0u);
    EXPECT_EQ((std::array{call.operation, call.file, call.parameters, call.directory}),
              (std::array<std::wstring, 4>{L"Open", c.file, L"", L""}));
    EXPECT_EQ(call.show_command, 1);
  }
}

TEST_F(AboutTest, AShellWithoutAHandlerChangesNothingAndShowsNothing) {
  fake.shell.handler_registered = false;
  ClickAt(kLabel6, MouseButton::kLeft);
  ClickAt(kLabel3, MouseButton::kLeft);
  EXPECT_EQ(fake.shell.Calls().size(), 2u);
  EXPECT_TRUE(program.About().Exists());
  PointAt(kLabel6);
  EXPECT_EQ(Fore(About().Label6), kSysHighlight);
  fake.RunFor(76);
  EXPECT_FALSE(Ticking());
}

TEST_F(AboutTest, AHundredOpenAndCloseCyclesLeaveNoGdiOrUserObjectBehind) {
  for (int cycle = 0; cycle < 100; ++cycle) {
    program.About().Show();
    if (cycle == 0) {
      // Two fonts (plain, underlined) and the banner; the window, the tooltip
      // window of its labels and picture, the hand pointer.
      EXPECT_EQ(fake.windows.GdiObjects().Live(), 3);
      EXPECT_EQ(fake.windows.UserObjects().Live(), 3);
    }
    fake.RunFor(cycle % 90);  // closed at every stage of the animation
    PointAt(kLabel3);
    fake.windows.UserClose(Form());
  }
  EXPECT_EQ(fake.windows.FormsCreated(), 100u);
  EXPECT_EQ(fake.windows.GdiObjects().Live(), 0);
  EXPECT_EQ(fake.windows.UserObjects().Live(), 0);
  EXPECT_EQ(fake.windows.GdiObjects().created, 300);
}

}  // namespace
}  // namespace np
