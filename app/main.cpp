// Program entry of uninst.exe: the one platform and application object, the
// start-up, the run, and the end of the process with exit code 0. There is no
// C runtime start-up: Windows calls WinMainCRTStartup directly.
#include <windows.h>

#include "app/uninstall_app.h"
#include "platform/win32_platform.h"
#include "platform/win32_runtime.h"

// Both are constructed before the run, by RunStaticConstructors, the platform
// first. The application object's destructor, registered at the same time,
// runs at process exit and empties RemovalList while the platform whose heap
// holds it is still there (the platform has nothing to destroy).
static uninst::Win32Platform g_platform;
static uninst::UninstallApp g_app;

extern "C" __attribute__((externally_visible, used)) void WinMainCRTStartup() {
  uninst::RunStaticConstructors();
  uninst::PrepareProcess(g_platform);
  g_app.Attach(g_platform);
  g_app.RunUninstall();
  uninst::RunExitRoutines();
  ExitProcess(0);
}
