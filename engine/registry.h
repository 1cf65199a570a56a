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

// Walks the list in `copy` (a writable copy, which the walk cuts into pieces)
// and calls `act` for each entry that names a known root: "root\subkey;value|".
// Entries without "|" after them, without ";", without "\" or with an unknown
// root are passed over, and so is a tree entry with an empty subkey, which
// would empty a whole predefined root. Separators honour double-byte
// characters.
void WalkRegistryList(const CodePage& codePage, char* copy,
                      void (*act)(void* context, const RegistryAction& action),
                      void* context);

// Deletes one value under root\subkey; does nothing for an empty subkey or
// value name. Returns the status of the open, or of the deletion.
int32_t DeleteRegistryValue(Platform& platform, RegKey root, const char* subkey,
                            const char* valueName);

// Deletes parent\name with all its subkeys, depth first. Stops at the first
// child that cannot be deleted and returns its status; ERROR_SUCCESS when the
// key itself was deleted.
int32_t DeleteRegistryTree(Platform& platform, RegKey parent, const char* name);

// Carries out every action of registryList; silent.
void CleanRegistry(RunState& state);

}  // namespace uninst
