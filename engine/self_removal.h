// Restart and self-removal: the two ways a run ends after the removal stages.
#pragma once

#include <stddef.h>

#include "engine/run_state.h"

namespace uninst {

// The batch file's name and the command that starts it: at the root of the
// current drive.
extern const char kBatchPath[];

// The five CR LF lines that delete the uninstaller (repeating until it is
// gone), remove its folder and delete the batch file itself, into `out` of
// `size` bytes. A "%" in a path is doubled so that cmd does not read it as a
// variable. The folder line is left out when the folder is a drive or share
// root (separators found by characters in `codePage`). Returns the text's
// length, or 0 when it does not fit.
size_t BuildBatchText(const CodePage& codePage, const char* selfPath, const char* folder,
                      char* out, size_t size);

// Enables the shutdown privilege and requests a restart; no restart when the
// token cannot be opened or the privilege is not granted.
void RestartWindows(EnginePlatform& platform);

// The uninstaller's path `self` and its folder (cut at the last backslash
// character in `codePage`) in the OEM code page, in which the batch
// interpreter reads its file, into `oemSelf` and `oemFolder` (kMaxPath bytes
// each). Only a conversion that gives the same bytes back counts; else the
// short (8.3) form of the path is tried the same way. Returns false when
// neither form survives: no batch may then name the uninstaller.
bool BatchPathsFor(EnginePlatform& platform, const CodePage& codePage, const char* self,
                   char* oemSelf, char* oemFolder);

// Clears the uninstaller's read-only attribute, writes the batch file with the
// paths of BatchPathsFor and starts it hidden, suspended and at idle
// priority, raising the uninstaller's own priority before letting it go.
// Writes and starts nothing when the own path or its OEM form cannot be had.
void LaunchSelfRemoval(EnginePlatform& platform, const CodePage& codePage);

}  // namespace uninst
