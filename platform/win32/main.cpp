// The entry point: the Win32 services, the program, and the message loop.
#include <windows.h>

#include "program/program.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
  np::Win32Platform win32(instance);
  np::Program program(win32.platform);
  if (!program.Start()) return 1;
  return np::Win32Platform::RunMessageLoop();
}
