// An in-memory window system: forms, controls and timers that hold their
// state like real ones, plus a message loop that fires due timers in order.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/api/error_sink.h"
#include "platform/api/window_system.h"
#include "platform/fake/call_log.h"
#include "platform/fake/fake_clock.h"

namespace np {

struct FakeControl {
  WindowId form;
  TwipsRect rect;
  std::wstring text{};
  int check = 0;
  // The drawn controls' designs, with the values the program changed since.
  std::optional<LabelDesign> label{};
  std::optional<PictureDesign> picture{};
  std::optional<LineDesign> line{};
};

struct FakeTimer {
  std::uint32_t interval_ms;
  std::uint64_t due_ms;
};

struct FakeForm {
  FormDesign design;
  FormEvents* events;
  std::uintptr_t handle;
  bool visible = false;
  std::map<int, FakeTimer> timers{};
};

class FakeWindowSystem final : public WindowSystem {
 public:
  FakeWindowSystem(FakeClock& clock, CallLog& log) : clock_(clock), log_(log) {}

  WindowId CreateForm(const FormDesign& design, FormEvents& events) override;
  void DestroyForm(WindowId form) override;
  void ShowForm(WindowId form) override;
  std::uintptr_t Handle(WindowId form) override;
  std::uintptr_t IconHandle(WindowId form) override;
  void StartTimer(WindowId form, int timer_id, std::uint32_t interval_ms) override;
  void StopTimer(WindowId form, int timer_id) override;
  ControlId AddCheckBox(WindowId form, const TwipsRect& rect, const std::wstring& caption) override;
  ControlId AddTextBox(WindowId form, const TwipsRect& rect, const std::wstring& tooltip) override;
  int CheckValue(ControlId box) override;
  void SetCheckValue(ControlId box, int value) override;
  std::wstring Text(ControlId control) override;
  void SetText(ControlId control, const std::wstring& text) override;
  ControlId AddLabel(WindowId form, const LabelDesign& design) override;
  ControlId AddPicture(WindowId form, const PictureDesign& design) override;
  ControlId AddLine(WindowId form, const LineDesign& design) override;
  void SetForeColour(ControlId label, Colour colour) override;
  LineEnds Line(ControlId line) override;
  void MoveLine(ControlId line, const LineEnds& ends) override;
  void SetForegroundWindow(WindowId form) override;
  int PopupMenu(WindowId host, const std::vector<MenuItem>& items, int default_id) override;

  // The message loop: until time t, fire each due timer in order, at most one
  // tick per timer however late it is. Stops early when stop() turns true.
  void RunUntil(std::uint64_t t, const std::function<bool()>& stop = {});

  // What a user does to the windows.
  void UserClose(WindowId form);
  void UserClick(ControlId box);
  void UserType(ControlId box, const std::wstring& text) { control(box).text = text; }
  // A WM_MOUSEMOVE arriving at the window (the tray callback comes this way).
  void PostMouseMove(WindowId form, int x, int y);
  // The pointer moves to, or a button clicks at, a pixel of the client area
  // (96 DPI); labels and pictures take it when they are under the point.
  void UserPointAt(WindowId form, int x, int y);
  void UserClickAt(WindowId form, int x, int y, MouseButton button);
  // The shell broadcasts that its notification area was created anew.
  void BroadcastTaskbarCreated();

  // Inspection.
  const FakeForm* Find(WindowId form) const;
  std::optional<WindowId> FindByCaption(const std::wstring& caption) const;
  const FakeControl& Control(ControlId id) const { return controls_.at(id); }
  std::size_t FormCount() const { return forms_.size(); }
  void FailNextCreate() { fail_next_create_ = true; }
  // The user's answer to the next popup menu: the caption of the item chosen,
  // or empty to dismiss it. It runs inside the menu's modal loop.
  std::function<std::wstring(const std::vector<MenuItem>& items, int default_id)> on_popup;
  std::uintptr_t app_icon = 0x0001002B;

 private:
  FakeForm& form(WindowId id);
  FakeControl& control(ControlId id);
  ControlId AddControl(WindowId form, FakeControl control);
  void Dispatch(WindowId form, const std::function<void(FormEvents&)>& call);
  ControlId DrawnControlAt(WindowId form, int x, int y) const;

  FakeClock& clock_;
  CallLog& log_;
  std::map<WindowId, FakeForm> forms_;
  std::map<ControlId, FakeControl> controls_;
  WindowId next_form_ = 1;
  ControlId next_control_ = 1;
  bool fail_next_create_ = false;
};

}  // namespace np
