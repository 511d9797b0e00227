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
  // Null while the window is being created: a load step that shows a message
  // box runs a nested message loop, and a tick or menu choice handled there
  // must neither make a second window nor use the unfinished one.
  T* Get() {
    if (creating_) return nullptr;
    if (!Exists()) {
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
  bool creating_ = false;
};

}  // namespace np
