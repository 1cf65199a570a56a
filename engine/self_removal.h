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
void RestartWindows(Platform& platform);

// Writes the batch file and starts it hidden, suspended and at idle priority,
// raising the uninstaller's own priority before letting it go. The own
// folder is the own path cut at its last backslash character in `codePage`.
void LaunchSelfRemoval(Platform& platform, const CodePage& codePage);

}  // namespace uninst
