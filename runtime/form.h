// The window runtime: a window of the program and the singleton rule every window follows.
#pragma once
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/api/window_system.h"
#include "runtime/error_reporter.h"
#include "runtime/platform.h"

namespace np {

class Form : public FormEvents {
 public:
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  ~Form() override { Unload(); }

  bool Loaded() const { return id_ != 0; }
  // Whether one of this window's handlers is on the stack.
  bool Handling() const { return *handling_ > 0; }
  WindowId Id() const { return id_; }
  void Show() { windows_.ShowForm(id_); }
  // Destroys the window with its controls and timers; the object stays usable as "not loaded".
  void Unload() {
    if (id_ != 0) windows_.DestroyForm(std::exchange(id_, 0));
  }

 protected:
  Form(Platform& platform, const FormDesign& design)
      : windows_(platform.windows), errors_(platform.errors), id_(windows_.CreateForm(design, *this)) {}
  WindowSystem& windows_;

  // A different value runs the click handling at once, inside the caller's
  // handler (its errors pass out), as the user's click would.
  void SetCheckValue(ControlId box, int value) {
    if (windows_.CheckValue(box) == value) return;
    windows_.SetCheckValue(box, value);
    ControlClick(box);
  }

  // The window's event handlers, as FormEvents describes them.
  virtual void Timer(int /*timer_id*/) {}
  virtual void MouseMove(int /*x*/, int /*y*/) {}
  virtual void ControlClick(ControlId /*control*/) {}
  virtual void ControlMouseMove(ControlId /*control*/) {}
  virtual void ControlMouseClick(ControlId /*control*/, MouseButton /*button*/) {}
  virtual void ShellRestarted() {}

 private:
  // Runs the handler through the error reporter, and counts the handlers on
  // the stack: one that runs a nested message loop (a box, the shell) may see
  // its window closed and its kind made anew, and its object must live until
  // it returns, its error's box included.
  template <class Handler>
  void Handle(Handler&& handler) noexcept {
    // The count outlives the object, so that even a handler that frees its own
    // window object leaves nothing here to touch freed memory.
    const std::shared_ptr<int> handling = handling_;
    struct Done {
      int& count;
      ~Done() { --count; }
    } done{++*handling};
    RunHandler(errors_, handler);
  }
  void OnTimer(int timer_id) noexcept final { Handle([&] { Timer(timer_id); }); }
  void OnMouseMove(int x, int y) noexcept final { Handle([&] { MouseMove(x, y); }); }
  void OnControlClick(ControlId control) noexcept final { Handle([&] { ControlClick(control); }); }
  void OnControlMouseMove(ControlId control) noexcept final { Handle([&] { ControlMouseMove(control); }); }
  void OnControlMouseClick(ControlId control, MouseButton button) noexcept final {
    Handle([&] { ControlMouseClick(control, button); });
  }
  void OnShellRestarted() noexcept final { Handle([&] { ShellRestarted(); }); }
  void OnUserClosed() noexcept final { id_ = 0; }

  ErrorReporter& errors_;
  WindowId id_;
  std::shared_ptr<int> handling_ = std::make_shared<int>(0);
};

// At most one window of a kind. Referring to it creates it when it does not
// exist, and creation runs the load step (the constructor) to its end first.
// A window the user closed is discarded; the next reference makes a new one.
// A discarded window whose handler is still running is freed only after it returns.
template <class T>
class FormSingleton {
 public:
  explicit FormSingleton(std::function<std::unique_ptr<T>()> make) : make_(std::move(make)) {}

  bool Exists() const { return form_ != nullptr && form_->Loaded(); }
  // Null while the window is being created: a load step that shows a message
  // box runs a nested message loop, and a tick or menu choice handled there
  // must neither make a second window nor use the unfinished one.
  T* Get() {
    if (creating_) return nullptr;
    if (!Exists()) {
      std::erase_if(closed_, [](const std::unique_ptr<T>& form) { return !form->Handling(); });
      if (form_ != nullptr && form_->Handling()) closed_.push_back(std::move(form_));
      form_.reset();
      creating_ = true;
      try {
        form_ = make_();
      } catch (...) {
        creating_ = false;
        throw;
      }
      creating_ = false;
    }
    return form_.get();
  }
  // Showing creates the window first if needed.
  void Show() {
    if (T* form = Get()) form->Show();
  }

 private:
  std::function<std::unique_ptr<T>()> make_;
  std::unique_ptr<T> form_;
  std::vector<std::unique_ptr<T>> closed_;
  bool creating_ = false;
};

}  // namespace np
