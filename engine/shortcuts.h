// Shortcut and program-group removal from the shell's special folders.
#pragma once

#include <stddef.h>

#include "engine/run_state.h"

namespace uninst {

constexpr int kNoSharedFolder = -1;

// The CSIDL to use: the shared one exactly on the NT family with allUsers
// set and when there is a shared variant, else the user's own.
int ChooseFolderCsidl(int32_t osFamily, uint32_t allUsers, int ownCsidl, int sharedCsidl);

// Whether a program group may be joined to the Programs folder and deleted:
// refused when it would name the Programs folder itself or reach outside it
// (no name component, a component of dots and blanks only, a ":" anywhere,
// a leading "\\"). Components are split at "\\" and "/" found character by
// character in `codePage`: a trail byte equal to "\\" splits nothing.
bool IsSafeProgramGroup(const CodePage& codePage, const char* group);

// Calls `visit(context, name, length)` for each name of a shortcut list, that
// is the text before each ";" (found honouring double-byte characters); text
// after the last ";" is no name.
void ForEachShortcutName(const CodePage& codePage, const char* list,
                         void (*visit)(void* context, const char* name, size_t length),
                         void* context);

// `folder`, the name and ".lnk" into `out` (kMaxPath bytes). Returns false
// when the path would not fit with room for the shell's second NUL.
bool BuildShortcutPath(const CodePage& codePage, const char* folder, const char* name,
                       size_t length, char* out);

void RemoveProgramGroup(RunState& state, const char* group, int ownCsidl, int sharedCsidl);
void RemoveShortcutList(RunState& state, const char* list, int ownCsidl, int sharedCsidl);

// The program group, then the desktop, Send To, Start menu and Startup lists.
void RemoveShortcuts(RunState& state);

}  // namespace uninst
