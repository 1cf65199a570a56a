// Location macros, special folders and path joining.
#pragma once

#include <stddef.h>

#include "engine/run_state.h"

namespace uninst {

// Appends `component` to the path in `buffer` (kMaxPath bytes), with a
// backslash between them unless the path is empty or already ends in "\" or
// "/", and writes a second NUL after the result. The path's last character is
// looked at in `codePage`: a double-byte character whose trail byte equals
// "\" (such as 0x83 0x5C) is no separator, and a backslash follows it; else
// the component would be glued to the folder's last name and name another
// file. The joined path may have at most kMaxPath - 2 characters; a longer
// one is refused: returns false and leaves the buffer as it was, because a
// cut path names a different file.
bool AppendPathComponent(const CodePage& codePage, char* buffer, const char* component);

// The folder that the first component of `path` (the text before its first
// backslash) stands for: a location macro, compared without regard to ASCII
// case, or ExeFolder for anything else. The result is ExeFolder itself or the
// state's LocationBuffer, valid until the next call. Returns null when the
// macro's folder cannot be had whole (an unreadable ProgramFilesDir or
// CommonFilesDir, a folder that does not fit, a first component of kMaxPath
// bytes or more): such an entry must yield no path at all.
const char* ResolveLocationMacro(RunState& state, const char* path);

// Whether the `length` bytes at `component` are one of the ten location
// macros ("<Win>", "<ProgramFiles>", ...), compared without regard to ASCII case.
bool IsLocationMacro(const char* component, size_t length);

// The file-system path of the special folder `csidl` into `out` (kMaxPath
// bytes). Returns false when the shell cannot give it or it does not fit.
bool GetShellFolderPath(EnginePlatform& platform, int csidl, char* out);

// Converts a display name of any of the kinds 0, 1, 2 and 5 into `out`
// (kMaxPath bytes). Returns false for other kinds and for a name that is not
// terminated within its bounds or does not fit.
bool StrRetToPath(EnginePlatform& platform, const DisplayName& name, char* out);

// The registry values ProgramFilesDir and CommonFilesDir under
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion into `out` (kMaxPath bytes).
// Returns false when the key or the value cannot be read, or the value is
// empty or not a terminated text within kMaxPath bytes.
bool ReadProgramFilesDir(EnginePlatform& platform, char* out);
bool ReadCommonFilesDir(EnginePlatform& platform, char* out);

}  // namespace uninst
