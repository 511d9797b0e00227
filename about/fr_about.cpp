// frAbout: the About window's layout, link colours, links and line animation.
#include "about/fr_about.h"

#include <string>
#include <utility>

#include "about/maker.h"
#include "resources/product.h"
#include "resources/resource_ids.h"

namespace np {

namespace {

const FormDesign kAboutDesign{kNameAndVersion, 7470, 4440, FormKind::kFixedDialog};
const FontDesign kLabelFont{L"Arial", 9, 400, false, kAnsiCharset};
const FontDesign kLinkFont{L"Arial", 9, 400, true, kAnsiCharset};
constexpr int kLineWidthPixels = 6;
// The stored layout gives the two links 1695 twips, too narrow for the
// maker's addresses in Arial 9 pt: they would wrap and be cut off unreadable.
// They take the room up to the next column (Label1, Label8) instead.
constexpr int kLinkWidthTwips = 2385;
constexpr float kLineStep = 100.0f;

std::wstring VisitTip() { return std::wstring(L"Visit ") + kMakerWebHost; }

LabelDesign Plain(TwipsRect rect, std::wstring caption, Alignment alignment = Alignment::kLeft) {
  LabelDesign design{rect, std::move(caption), kLabelFont};
  design.alignment = alignment;
  return design;
}

// Label1 and Label2: window text on the active border's colour.
LabelDesign Notice(TwipsRect rect, std::wstring caption, Alignment alignment) {
  LabelDesign design = Plain(rect, std::move(caption), alignment);
  design.fore_colour = kSysWindowText;
  design.back_colour = kSysActiveBorder;
  return design;
}

LabelDesign Link(TwipsRect rect, std::wstring caption, std::wstring tooltip) {
  LabelDesign design{rect, std::move(caption), kLinkFont};
  design.fore_colour = kLinkBlue;
  design.pointer_resource = IDC_HAND_POINTER;
  design.tooltip = std::move(tooltip);
  return design;
}

LineDesign Across(float y) { return {{0.0f, y, 7560.0f, y}, kLineWidthPixels}; }

}  // namespace

frAbout::frAbout(Platform& platform)
    : Form(platform, kAboutDesign),
      Image1(windows_.AddPicture(Id(), {{240, 240, 6990, 1770}, IDB_BANNER, IDC_HAND_POINTER, VisitTip()})),
      Line2(windows_.AddLine(Id(), Across(2280.0f))),
      Label5(windows_.AddLabel(Id(), Plain({120, 2640, 735, 255}, L"WWW:", Alignment::kCentre))),
      Label6(windows_.AddLabel(Id(), Link({960, 2640, kLinkWidthTwips, 255}, MakerWebAddress(), VisitTip()))),
      Label1(windows_.AddLabel(
          Id(), Notice({3360, 2640, 3975, 255}, L"This Software is completly free! Enjoy it!", Alignment::kLeft))),
      Label7(windows_.AddLabel(Id(), Plain({120, 3000, 735, 255}, L"E-Mail:", Alignment::kCentre))),
      Label3(windows_.AddLabel(Id(), Link({960, 3000, kLinkWidthTwips, 255}, kMakerMailAddress, L"Send E-Mail"))),
      Label8(windows_.AddLabel(Id(), Plain({3360, 3000, 3375, 255}, kVersionLine))),
      Line1(windows_.AddLine(Id(), Across(3600.0f))),
      Label4(windows_.AddLabel(Id(), Plain({0, 3840, 7455, 255}, kAuthorLine, Alignment::kCentre))),
      Label2(windows_.AddLabel(Id(), Notice({0, 4080, 7455, 255}, kRightsNotice, Alignment::kCentre))),
      shell_(platform.shell) {
  Form_Load();
}

void frAbout::Form_Load() { windows_.StartTimer(Id(), kAboutTimer1, kAboutTimer1IntervalMs); }

void frAbout::Timer(int timer_id) {
  // A tick already on its way when the window closed finds no lines to move.
  if (timer_id == kAboutTimer1 && Loaded()) Timer1_Timer();
}

void frAbout::MouseMove(int /*x*/, int /*y*/) { Form_MouseMove(); }

void frAbout::ControlMouseMove(ControlId control) {
  if (control == Label3) Label3_MouseMove();
  if (control == Label6) Label6_MouseMove();
}

void frAbout::ControlMouseClick(ControlId control, MouseButton button) {
  if (button != MouseButton::kLeft) return;  // a click is the primary button's
  // Nothing of the window is read after a branch: the shell may run a nested
  // loop (its own error box) in which the user closes this window.
  if (control == Label3) {
    Label3_Click();
  } else if (control == Label6) {
    Label6_Click();
  } else if (control == Image1) {
    Image1_Click();
  }
}

// There is no leave event: a link keeps the highlight until the pointer
// crosses bare surface, even when it goes straight to another label.
void frAbout::Form_MouseMove() {
  windows_.SetForeColour(Label3, kLinkBlue);
  windows_.SetForeColour(Label6, kLinkBlue);
}

void frAbout::Label3_MouseMove() { windows_.SetForeColour(Label3, kSysHighlight); }

void frAbout::Label6_MouseMove() { windows_.SetForeColour(Label6, kSysHighlight); }

void frAbout::Label3_Click() {
  // Not percent-encoded: the shell takes the blank of the subject as it is.
  Open(std::wstring(L"mailto:") + kMakerMailAddress + L"?Subject=" + kProductName + L"&Body=");
}

void frAbout::Label6_Click() { OpenWebSite(); }

void frAbout::Image1_Click() { OpenWebSite(); }

void frAbout::OpenWebSite() { Open(MakerWebAddress()); }

// Whether a program took the link is not looked at, nor shown.
void frAbout::Open(const std::wstring& file) {
  static_cast<void>(shell_.ExecuteA(0, L"Open", file, L"", L"", kSwShowNormal));
}

// Both lines step in every tick, even the one in which the first has already
// switched the timer off.
void frAbout::Timer1_Timer() {
  if (StepLine(Line1)) windows_.StopTimer(Id(), kAboutTimer1);
  if (StepLine(Line2)) windows_.StopTimer(Id(), kAboutTimer1);
}

bool frAbout::StepLine(ControlId line) {
  LineEnds ends = windows_.Line(line);
  ends.x1 += kLineStep;
  ends.x2 -= kLineStep;
  windows_.MoveLine(line, ends);
  return ends.x2 <= 0.0f;
}

}  // namespace np
