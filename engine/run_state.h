// What one run of the uninstaller knows: the platform, the Windows family,
// the uninstaller's folder, the parsed data file and the resolver's buffer.
#pragma once

#include <stdint.h>

#include "engine/engine_platform.h"
#include "engine/text.h"

namespace uninst {

// Windows family, computed once before the data file is parsed.
enum OsFamilyValue : int32_t {
  kOsUnknown = 0,
  kOsWin95 = 1,
  kOsWin98 = 2,
  kOsNt = 3,
};

// The data file's word and its twelve texts, in file order. Every text points
// into the data block (or at a static empty text) and is NUL-ended.
struct UninstallData {
  uint32_t allUsers = 0;
  const char* registryList = "";
  const char* programGroup = "";
  const char* desktopShortcuts = "";
  const char* sendToShortcuts = "";
  const char* startMenuShortcuts = "";
  const char* startupShortcuts = "";
  const char* messageCaption = "";
  const char* confirmPrompt = "";
  const char* runningPrompt = "";
  const char* closingMessage = "";
  const char* reservedText = "";
  const char* restartPrompt = "";
};

struct RunState {
  explicit RunState(EnginePlatform& p) : platform(p) {
    exeFolder[0] = '\0';
    for (char& c : locationBuffer) c = '\0';
  }

  EnginePlatform& platform;
  CodePage codePage;               // filled at the start of the run
  int32_t osFamily = kOsUnknown;   // OsFamily
  char exeFolder[kMaxPath];        // ExeFolder: never ends in a backslash
  char locationBuffer[kMaxPath];   // LocationBuffer: the resolver's last folder
  UninstallData data;
};

}  // namespace uninst
