// pellumin.exe's entry point: the Win32 services, the program, and the message loop.
#include <windows.h>

#include <cstdlib>

#include "program/program.h"
#include "app/win32_platform.h"

// The runtime's default handler for an uncaught exception prints the type's
// demangled name to stderr, which a GUI program does not have; with its
// demangler it is about 48 KB of the executable. Ending is all that is left to do.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
  np::Win32Platform win32(instance);
  np::Program program(win32.platform);
  if (!program.Start()) return 1;
  return win32.windows.RunMessageLoop();
}
