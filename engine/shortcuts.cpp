// Shortcut and program-group removal; see shortcuts.h.
#include "engine/shortcuts.h"

#include "engine/file_removal.h"
#include "engine/locations.h"

namespace uninst {

int ChooseFolderCsidl(int32_t osFamily, uint32_t allUsers, int ownCsidl, int sharedCsidl) {
  if (osFamily == kOsNt && allUsers != 0 && sharedCsidl != kNoSharedFolder) return sharedCsidl;
  return ownCsidl;
}

bool IsSafeProgramGroup(const CodePage& codePage, const char* group) {
  if (group[0] == '\\' && group[1] == '\\') return false;
  if (FindFirstByte(group, ':')) return false;
  bool named = false;
  const char* component = group;
  for (const char* at = group;;) {
    if (*at == '\\' || *at == '/' || *at == '\0') {
      // Windows drops trailing dots and blanks from a component, so "..",
      // ". ." and "..." all climb or stay where they are.
      bool onlyDots = true;
      for (const char* c = component; c < at; ++c)
        if (*c != '.' && *c != ' ') onlyDots = false;
      if (at > component) {
        if (onlyDots) return false;
        named = true;
      }
      if (!*at) break;
      component = ++at;
    } else {
      // A lead byte takes its trail byte along, which may equal "\\".
      at += codePage.IsLead(static_cast<uint8_t>(*at)) && at[1] ? 2 : 1;
    }
  }
  return named;
}

void ForEachShortcutName(const CodePage& codePage, const char* list,
                         void (*visit)(void*, const char*, size_t), void* context) {
  while (const char* semi = codePage.Find(list, ';')) {
    visit(context, list, static_cast<size_t>(semi - list));
    list = semi + 1;
  }
}

bool BuildShortcutPath(const CodePage& codePage, const char* folder, const char* name,
                       size_t length, char* out) {
  char component[kMaxPath];
  if (!CopyBounded(out, kMaxPath, folder) || !CopyBounded(component, kMaxPath, name, length))
    return false;
  if (!AppendPathComponent(codePage, out, component)) return false;
  size_t joined = TextLength(out);
  if (joined + 4 > kMaxPath - 2) return false;
  CopyBytes(out + joined, ".lnk", 5);
  out[joined + 5] = '\0';
  return true;
}

void RemoveProgramGroup(RunState& state, const char* group, int ownCsidl, int sharedCsidl) {
  if (!*group || !IsSafeProgramGroup(state.codePage, group)) return;
  char folder[kMaxPath];
  int csidl = ChooseFolderCsidl(state.osFamily, state.data.allUsers, ownCsidl, sharedCsidl);
  if (!GetShellFolderPath(state.platform, csidl, folder)) return;
  if (!AppendPathComponent(state.codePage, folder, group)) return;
  DeleteWithShell(state.platform, state.codePage, folder, sizeof folder);
}

namespace {

struct ListWalk {
  EnginePlatform* platform;
  const CodePage* codePage;
  const char* folder;
};

void DeleteShortcut(void* context, const char* name, size_t length) {
  ListWalk* walk = static_cast<ListWalk*>(context);
  char path[kMaxPath];
  if (BuildShortcutPath(*walk->codePage, walk->folder, name, length, path))
    DeleteWithShell(*walk->platform, *walk->codePage, path, sizeof path);
}

}  // namespace

void RemoveShortcutList(RunState& state, const char* list, int ownCsidl, int sharedCsidl) {
  if (!*list) return;
  char folder[kMaxPath];
  int csidl = ChooseFolderCsidl(state.osFamily, state.data.allUsers, ownCsidl, sharedCsidl);
  if (!GetShellFolderPath(state.platform, csidl, folder)) return;
  ListWalk walk = {&state.platform, &state.codePage, folder};
  ForEachShortcutName(state.codePage, list, DeleteShortcut, &walk);
}

void RemoveShortcuts(RunState& state) {
  const UninstallData& data = state.data;
  RemoveProgramGroup(state, data.programGroup, kCsidlPrograms, kCsidlCommonPrograms);
  RemoveShortcutList(state, data.desktopShortcuts, kCsidlDesktopDirectory,
                     kCsidlCommonDesktopDirectory);
  RemoveShortcutList(state, data.sendToShortcuts, kCsidlSendTo, kNoSharedFolder);
  RemoveShortcutList(state, data.startMenuShortcuts, kCsidlStartMenu, kCsidlCommonStartMenu);
  RemoveShortcutList(state, data.startupShortcuts, kCsidlStartup, kCsidlCommonStartup);
}

}  // namespace uninst
