// The application object and the run: the fixed order of stages, the message
// boxes, the early ends and the end choice.
#pragma once

#include "engine/removal_list.h"
#include "engine/run_state.h"

namespace uninst {

// OsFamily from GetVersionExA: 1 Windows 95, 2 Windows 98/Me, 3 NT family,
// 0 when the call fails or the platform is unknown.
int32_t GetOsFamily(EnginePlatform& platform);

// The owner of every message box: the active window of this thread, if any.
Handle GetMessageOwner(EnginePlatform& platform);

// The data file's path: `module` with everything after its last "." (in the
// whole path) replaced by "dat", into `out` (kMaxPath bytes); a path without
// "." is taken unchanged. False when the result does not fit.
bool DataFilePathFor(const char* module, char* out);

// ExeFolder: `module` cut at its last backslash, into `out` (kMaxPath bytes).
// The backslash is found by characters in `codePage`: a trail byte equal to
// "\\" in the program's own name would make the folder a cut name.
void ExeFolderFor(const CodePage& codePage, const char* module, char* out);

// The framework's start-up: adds SEM_FAILCRITICALERRORS and
// SEM_NOOPENFILEERRORBOX to the error mode, so no system box interrupts a
// file operation.
void PrepareProcess(EnginePlatform& platform);

class UninstallApp {
 public:
  UninstallApp() = default;
  UninstallApp(const UninstallApp&) = delete;
  UninstallApp& operator=(const UninstallApp&) = delete;

  void Attach(EnginePlatform& platform);

  // The whole uninstall, synchronously. Always returns false: there is no
  // window and no message loop, and the process ends with exit code 0.
  bool RunUninstall();

  RemovalList& removalList() { return removalList_; }

 private:
  EnginePlatform* platform_ = nullptr;
  RemovalList removalList_;
};

}  // namespace uninst
