// Program entry of uninst.exe: the one platform and application object, the
// start-up, the run, exit code 0.
#include <windows.h>

#include "app/uninstall_app.h"
#include "platform/win32_platform.h"

// Constructed before the application object and destroyed after it, so that
// the application's lists can still return their memory at exit.
static uninst::Win32Platform g_platform;
static uninst::UninstallApp g_app;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  uninst::PrepareProcess(g_platform);
  g_app.Attach(g_platform);
  g_app.RunUninstall();
  return 0;
}

// Keeps the C++ runtime's verbose terminate handler (and what it drags in)
// out of the program; a pure call cannot happen with one concrete platform.
extern "C" void __cxa_pure_virtual() { ExitProcess(0); }
