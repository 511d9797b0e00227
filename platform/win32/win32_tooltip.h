// A window's one tooltip window, shared by all its controls.
#pragma once
#include <windows.h>

#include <string>

#include "platform/api/error_sink.h"

namespace np {

// Made with the first tool; it goes with its owner. A tooltip that cannot be
// had is reported, but the window works without it.
class WindowTooltip {
 public:
  WindowTooltip(HINSTANCE instance, HWND owner, ErrorSink& errors)
      : instance_(instance), owner_(owner), errors_(errors) {}
  WindowTooltip(const WindowTooltip&) = delete;
  WindowTooltip& operator=(const WindowTooltip&) = delete;

  // The tip of a child control; an empty text adds nothing.
  void AddChild(HWND child, const std::wstring& text);
  // The tip of the owner's area `bounds`, a drawn control known by `id`.
  void AddArea(UINT_PTR id, const RECT& bounds, const std::wstring& text);
  // A mouse message for the owner or one of its children. Relayed, not
  // subclassed: a subclassed control pays a property lookup on every message
  // it gets, and under Wine each is a server round trip.
  void Relay(const MSG& msg);

 private:
  void Add(UINT flags, UINT_PTR id, const RECT& bounds, const std::wstring& text);

  HINSTANCE instance_;
  HWND owner_;
  ErrorSink& errors_;
  HWND tooltip_ = nullptr;
};

}  // namespace np
