// The window runtime: a window of the program and the singleton rule every window follows.
#pragma once
#include <functional>
#include <memory>
#include <utility>

#include "platform/api/window_system.h"

namespace np {

class Form : public FormEvents {
 public:
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  ~Form() override { Unload(); }

  bool Loaded() const { return id_ != 0; }
  WindowId Id() const { return id_; }
  void Show() { windows_.ShowForm(id_); }
  // Destroys the window with its controls and timers; the object stays usable as "not loaded".
  void Unload() {
    if (id_ != 0) windows_.DestroyForm(std::exchange(id_, 0));
  }

 protected:
  Form(WindowSystem& windows, const FormDesign& design) : windows_(windows), id_(windows.CreateForm(design, *this)) {}
  WindowSystem& windows_;

 private:
  void OnUserClosed() final { id_ = 0; }
  WindowId id_;
};

// At most one window of a kind. Referring to it creates it when it does not
// exist, and creation runs the load step (the constructor) to its end first.
// A window the user closed is discarded; the next reference makes a new one.
template <class T>
class FormSingleton {
 public:
  explicit FormSingleton(std::function<std::unique_ptr<T>()> make) : make_(std::move(make)) {}

  bool Exists() const { return form_ != nullptr && form_->Loaded(); }
  T& Get() {
    if (!Exists()) {
      form_.reset();
      form_ = make_();
    }
    return *form_;
  }
  // Showing creates the window first if needed.
  void Show() { Get().Show(); }

 private:
  std::function<std::unique_ptr<T>()> make_;
  std::unique_ptr<T> form_;
};

}  // namespace np
