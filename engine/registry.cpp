// Registry cleanup; see registry.h.
#include "engine/registry.h"

namespace uninst {
namespace {

struct RootName {
  const char* name;
  RegKey key;
};

const RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},   {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
    {"HKEY_CURRENT_USER", kHkeyCurrentUser},   {"HKEY_USERS", kHkeyUsers},
    {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig}, {"HKEY_DYN_DATA", kHkeyDynData},
};

void Execute(void* context, const RegistryAction& action) {
  EnginePlatform& platform = *static_cast<EnginePlatform*>(context);
  if (action.deleteTree) {
    DeleteRegistryTree(platform, action.root, action.subkey);
    // A key that the tree deletion left (say, a child could not go) gets one
    // more plain attempt of its own.
    platform.RegDeleteKey(action.root, action.subkey);
  } else {
    DeleteRegistryValue(platform, action.root, action.subkey, action.valueName);
  }
}

}  // namespace

RegKey LookupRootName(const char* name) {
  for (const RootName& root : kRoots)
    if (EqualsAsciiNoCase(name, root.name)) return root.key;
  return 0;
}

RegistryEntryShape ReadRegistryEntry(const CodePage& codePage, char* entry, RegistryAction* action) {
  char* semi = const_cast<char*>(codePage.Find(entry, ';'));
  if (!semi) return kRegistryEntryNoSemicolon;
  char* backslash = const_cast<char*>(codePage.Find(entry, semi, '\\'));
  if (!backslash) return kRegistryEntryNoSubkey;
  *semi = '\0';
  *backslash = '\0';
  action->rootName = entry;
  action->root = LookupRootName(entry);
  action->subkey = backslash + 1;
  action->valueName = semi + 1;
  action->deleteTree = action->valueName[0] == '\0';
  if (!action->root) return kRegistryEntryUnknownRoot;
  if (action->deleteTree && action->subkey[0] == '\0') return kRegistryEntryWholeRoot;
  return kRegistryEntryActs;
}

void WalkRegistryList(const CodePage& codePage, char* copy,
                      void (*act)(void*, const RegistryAction&), void* context) {
  char* entry = copy;
  while (char* bar = const_cast<char*>(codePage.Find(entry, '|'))) {
    *bar = '\0';
    RegistryAction action;
    if (ReadRegistryEntry(codePage, entry, &action) == kRegistryEntryActs) act(context, action);
    entry = bar + 1;
  }
}

int32_t DeleteRegistryValue(EnginePlatform& platform, RegKey root, const char* subkey,
                            const char* valueName) {
  if (!root || !*subkey || !*valueName) return kErrorBadKey;
  RegKey key = 0;
  int32_t status = platform.RegOpenKeyEx(root, subkey, &key);
  if (status != 0) return status;
  status = platform.RegDeleteValue(key, valueName);
  platform.RegCloseKey(key);
  return status;
}

int32_t DeleteRegistryTree(EnginePlatform& platform, RegKey parent, const char* name) {
  RegKey key = 0;
  int32_t status = platform.RegOpenKey(parent, name, &key);
  if (status != 0) return status;
  char child[256];
  for (;;) {
    // Always index 0: every successful pass has removed the first child.
    status = platform.RegEnumKey(key, 0, child, 255);
    if (status != 0) break;
    status = DeleteRegistryTree(platform, key, child);
    if (status != 0) break;
  }
  if (status == static_cast<int32_t>(kErrorNoMoreItems) ||
      status == static_cast<int32_t>(kErrorBadKey))
    status = platform.RegDeleteKey(parent, name);
  platform.RegCloseKey(key);
  return status;
}

void CleanRegistry(RunState& state) {
  const char* list = state.data.registryList;
  if (!*list) return;
  size_t size = TextLength(list) + 1;
  char* copy = static_cast<char*>(state.platform.HeapAlloc(static_cast<uint32_t>(size)));
  if (!copy) return;
  CopyBytes(copy, list, size);
  WalkRegistryList(state.codePage, copy, Execute, &state.platform);
  state.platform.HeapFree(copy);
}

}  // namespace uninst
