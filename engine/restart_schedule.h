// Deletion at the next start of Windows: the delayed move on the NT family,
// the WININIT.INI "[rename]" section elsewhere.
#pragma once

#include <stddef.h>

#include "engine/file_removal.h"
#include "engine/run_state.h"

namespace uninst {

// Where the rewrite puts its bytes.
class ByteSink {
 public:
  virtual void Write(const char* data, size_t size) = 0;

 protected:
  ~ByteSink() = default;
};

// The new WININIT.INI from the old file's bytes (`old` null when there is
// none), read as the C runtime's text mode does: CR LF is one line end and a
// 0x1A ends the input. The old text is copied in pieces of at most 255
// characters plus line end; the first line that begins with "[rename]" in
// any ASCII case is replaced by "[rename]", the line "NUL=" + `shortPath`
// (none when `shortPath` is null) follows it, and the rest is copied. Without
// such a line the header and the line are appended. The header always stands
// on a line of its own. Every line end written is CR LF.
void RewriteWininit(const char* old, size_t oldSize, const char* shortPath, ByteSink& out);

// The path for a "NUL=" line: the short form when the system gives it, else
// the long path; after ERROR_NOT_SUPPORTED the last component is replaced by
// its 8.3 alternate name when the entry has one. `out` has kMaxPath bytes.
// Returns false when not even the long path fits. The last component is
// found by characters in `codePage`.
bool ShortPathForWininit(EnginePlatform& platform, const CodePage& codePage, const char* path,
                         char* out);

// True for a drive root ("C:", "C:\") or a share root ("\\server\share"),
// which must never be scheduled or removed as the uninstaller's folder.
// Separators are found by characters in `codePage`.
bool IsDriveOrShareRoot(const CodePage& codePage, const char* folder);

// Schedules one path; returns whether it was scheduled.
bool ScheduleDeleteAtRestart(RunState& state, const char* path);
// Every path of `deferred`, in list order.
void ScheduleDeferredList(RunState& state, const DeferredList& deferred);
// The uninstaller's own file, then its folder (never a drive or share root).
void ScheduleSelfRemoval(RunState& state);

}  // namespace uninst
