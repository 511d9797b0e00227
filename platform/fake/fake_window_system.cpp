// An in-memory window system with a message loop driven by the fake clock.
#include "platform/fake/fake_window_system.h"

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/common/twips.h"

namespace np {

namespace {
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string Hex(Colour colour) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(colour));
  return text;
}

constexpr int kFakeDpi = 96;
}  // namespace

FakeForm& FakeWindowSystem::form(WindowId id) {
  auto it = forms_.find(id);
  if (it == forms_.end()) throw RuntimeError("no such window");
  return it->second;
}

FakeControl& FakeWindowSystem::control(ControlId id) {
  auto it = controls_.find(id);
  if (it == controls_.end() || forms_.count(it->second.form) == 0) throw RuntimeError("no such control");
  return it->second;
}

WindowId FakeWindowSystem::CreateForm(const FormDesign& design, FormEvents& events) {
  log_.Add("CreateForm \"" + Narrow(design.caption) + "\"");
  if (std::exchange(fail_next_create_, false)) throw RuntimeError("window creation failed");
  const WindowId id = next_form_++;
  forms_.emplace(id, FakeForm{design, &events, 0x10000u + id * 0x10u});
  return id;
}

void FakeWindowSystem::DestroyForm(WindowId id) {
  log_.Add("DestroyForm");
  if (forms_.erase(id) == 0) return;
  std::erase_if(controls_, [id](const auto& entry) { return entry.second.form == id; });
}

void FakeWindowSystem::ShowForm(WindowId id) {
  log_.Add("ShowForm");
  form(id).visible = true;
}

std::uintptr_t FakeWindowSystem::Handle(WindowId id) { return form(id).handle; }

std::uintptr_t FakeWindowSystem::IconHandle(WindowId id) {
  form(id);
  if (app_icon == 0) throw RuntimeError("the application icon cannot be loaded");
  return app_icon;
}

void FakeWindowSystem::StartTimer(WindowId id, int timer_id, std::uint32_t interval_ms) {
  log_.Add("SetTimer " + std::to_string(timer_id) + " " + std::to_string(interval_ms));
  interval_ms = std::max<std::uint32_t>(interval_ms, 1);
  form(id).timers[timer_id] = FakeTimer{interval_ms, clock_.NowMs() + interval_ms};
}

void FakeWindowSystem::StopTimer(WindowId id, int timer_id) {
  log_.Add("KillTimer " + std::to_string(timer_id));
  form(id).timers.erase(timer_id);
}

ControlId FakeWindowSystem::AddControl(WindowId id, FakeControl added) {
  form(id);
  controls_.emplace(next_control_, std::move(added));
  return next_control_++;
}

ControlId FakeWindowSystem::AddCheckBox(WindowId id, const TwipsRect& rect, const std::wstring& /*caption*/) {
  return AddControl(id, FakeControl{id, rect});
}

ControlId FakeWindowSystem::AddTextBox(WindowId id, const TwipsRect& rect, const std::wstring& /*tooltip*/) {
  return AddControl(id, FakeControl{id, rect});
}

ControlId FakeWindowSystem::AddLabel(WindowId id, const LabelDesign& design) {
  FakeControl added{id, design.rect};
  added.label = design;
  return AddControl(id, std::move(added));
}

ControlId FakeWindowSystem::AddPicture(WindowId id, const PictureDesign& design) {
  FakeControl added{id, design.rect};
  added.picture = design;
  return AddControl(id, std::move(added));
}

ControlId FakeWindowSystem::AddLine(WindowId id, const LineDesign& design) {
  FakeControl added{id, {}};
  added.line = design;
  return AddControl(id, std::move(added));
}

void FakeWindowSystem::SetForeColour(ControlId id, Colour colour) {
  log_.Add("SetForeColour " + std::to_string(id) + " " + Hex(colour));
  FakeControl& c = control(id);
  if (!c.label) throw RuntimeError("not a label");
  c.label->fore_colour = colour;
}

LineEnds FakeWindowSystem::Line(ControlId id) {
  FakeControl& c = control(id);
  if (!c.line) throw RuntimeError("not a line");
  return c.line->ends;
}

void FakeWindowSystem::MoveLine(ControlId id, const LineEnds& ends) {
  FakeControl& c = control(id);
  if (!c.line) throw RuntimeError("not a line");
  c.line->ends = ends;
}

// The last one created lies on top; lines are part of the window's surface.
ControlId FakeWindowSystem::DrawnControlAt(WindowId id, int x, int y) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    const FakeControl& c = it->second;
    if (c.form != id || !(c.label || c.picture)) continue;
    if (PixelRectOf(c.rect.left, c.rect.top, c.rect.width, c.rect.height, kFakeDpi).Contains(x, y)) return it->first;
  }
  return 0;
}

int FakeWindowSystem::CheckValue(ControlId box) { return control(box).check; }

void FakeWindowSystem::SetCheckValue(ControlId box, int value) {
  log_.Add("SetCheck " + std::to_string(value));
  control(box).check = value;
}

std::wstring FakeWindowSystem::Text(ControlId id) { return control(id).text; }

void FakeWindowSystem::SetText(ControlId id, const std::wstring& text) {
  log_.Add("SetText \"" + Narrow(text) + "\"");
  control(id).text = text;
}

void FakeWindowSystem::SetForegroundWindow(WindowId id) { log_.Add("SetForegroundWindow " + std::to_string(form(id).handle)); }

int FakeWindowSystem::PopupMenu(WindowId host, const std::vector<MenuItem>& items, int default_id) {
  log_.Add("PopupMenu " + std::to_string(form(host).handle));
  const std::wstring chosen = on_popup ? on_popup(items, default_id) : L"";
  for (const MenuItem& item : items) {
    if (item.caption == chosen && item.caption != L"-") return item.id;
  }
  return 0;
}

void FakeWindowSystem::Dispatch(WindowId id, const std::function<void(FormEvents&)>& call) {
  auto it = forms_.find(id);
  if (it == forms_.end()) return;
  FormEvents& events = *it->second.events;
  call(events);
}

void FakeWindowSystem::RunUntil(std::uint64_t t, const std::function<bool()>& stop) {
  for (;;) {
    if (stop && stop()) return;
    WindowId due_form = 0;
    int due_timer = 0;
    std::uint64_t due = t + 1;
    for (const auto& [id, f] : forms_) {
      for (const auto& [timer_id, timer] : f.timers) {
        if (timer.due_ms < due) std::tie(due_form, due_timer, due) = std::tie(id, timer_id, timer.due_ms);
      }
    }
    if (due_form == 0) break;
    clock_.AdvanceTo(due);
    // The period runs on its own schedule; ticks missed while the thread slept
    // collapse into the one being delivered now.
    FakeTimer& timer = forms_.at(due_form).timers.at(due_timer);
    const std::uint64_t missed = (clock_.NowMs() - due) / timer.interval_ms;
    timer.due_ms = due + (missed + 1) * timer.interval_ms;
    Dispatch(due_form, [due_timer](FormEvents& e) { e.OnTimer(due_timer); });
  }
  clock_.AdvanceTo(t);
}

void FakeWindowSystem::UserClose(WindowId id) {
  auto it = forms_.find(id);
  if (it == forms_.end()) return;
  FormEvents& events = *it->second.events;
  DestroyForm(id);
  events.OnUserClosed();
}

void FakeWindowSystem::UserClick(ControlId box) {
  FakeControl& c = control(box);
  c.check = c.check == 1 ? 0 : 1;
  Dispatch(c.form, [box](FormEvents& e) { e.OnControlClick(box); });
}

void FakeWindowSystem::PostMouseMove(WindowId id, int x, int y) {
  Dispatch(id, [x, y](FormEvents& e) { e.OnMouseMove(x, y); });
}

void FakeWindowSystem::UserPointAt(WindowId id, int x, int y) {
  const ControlId under = DrawnControlAt(id, x, y);
  if (under != 0) {
    Dispatch(id, [under](FormEvents& e) { e.OnControlMouseMove(under); });
  } else {
    Dispatch(id, [x, y](FormEvents& e) { e.OnMouseMove(x, y); });
  }
}

void FakeWindowSystem::UserClickAt(WindowId id, int x, int y, MouseButton button) {
  const ControlId under = DrawnControlAt(id, x, y);
  if (under != 0) Dispatch(id, [under, button](FormEvents& e) { e.OnControlMouseClick(under, button); });
}

void FakeWindowSystem::BroadcastTaskbarCreated() {
  std::vector<WindowId> ids;
  for (const auto& entry : forms_) ids.push_back(entry.first);
  for (WindowId id : ids) Dispatch(id, [](FormEvents& e) { e.OnShellRestarted(); });
}

const FakeForm* FakeWindowSystem::Find(WindowId id) const {
  auto it = forms_.find(id);
  return it == forms_.end() ? nullptr : &it->second;
}

std::optional<WindowId> FakeWindowSystem::FindByCaption(const std::wstring& caption) const {
  for (const auto& [id, f] : forms_) {
    if (f.design.caption == caption) return id;
  }
  return std::nullopt;
}

}  // namespace np
