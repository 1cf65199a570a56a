// Registry cleanup: the registry list's walk, value deletion and depth-first
// key-tree deletion.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "engine/run_state.h"

namespace uninst {

// One action of the registry list. Texts are NUL-ended inside the working
// copy that the walk was given.
struct RegistryAction {
  bool deleteTree;        // the value name is empty: the key with its subkeys
  RegKey root;
  const char* rootName;
  const char* subkey;
  const char* valueName;  // empty for a tree deletion
};

// The predefined key for a root name (whole name, ASCII case ignored), or 0.
RegKey LookupRootName(const char* name);

// What one entry of the registry list is to the uninstaller.
enum RegistryEntryShape : int {
  kRegistryEntryActs,         // an action
  kRegistryEntryNoSemicolon,  // no ";": passed over
  kRegistryEntryNoSubkey,     // no "\" before the ";": passed over
  kRegistryEntryUnknownRoot,  // the text before the "\" is no root name: passed over
  kRegistryEntryWholeRoot,    // a tree entry with an empty subkey, which would empty a whole root: passed over
};

// Reads one entry "root\subkey;value" (writable, NUL-ended, without its "|"):
// from kRegistryEntryUnknownRoot on, `action` holds its parts (root 0 for an
// unknown root), cut into pieces at the ";" and at the first "\" before it.
// Separators honour double-byte characters.
RegistryEntryShape ReadRegistryEntry(const CodePage& codePage, char* entry, RegistryAction* action);

// Walks the list in `copy` (a writable copy, which the walk cuts into pieces)
// and calls `act` for each entry ended by "|" that ReadRegistryEntry finds to
// be an action.
void WalkRegistryList(const CodePage& codePage, char* copy,
                      void (*act)(void* context, const RegistryAction& action),
                      void* context);

// Deletes one value under root\subkey; does nothing for an empty subkey or
// value name. Returns the status of the open, or of the deletion.
int32_t DeleteRegistryValue(EnginePlatform& platform, RegKey root, const char* subkey,
                            const char* valueName);

// Deletes parent\name with all its subkeys, depth first. Stops at the first
// child that cannot be deleted and returns its status; ERROR_SUCCESS when the
// key itself was deleted.
int32_t DeleteRegistryTree(EnginePlatform& platform, RegKey parent, const char* name);

// Carries out every action of registryList; silent.
void CleanRegistry(RunState& state);

}  // namespace uninst
