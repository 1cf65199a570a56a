// From a staged installation to a manifest: every staged file and folder as a
// removal entry (each folder after everything in it), the program group and
// the shortcuts from the shell folders, and the registry list from a .reg
// export.
//
// The stage: files/<drive letter>/... as the files lie on that drive;
// shell/Programs/<group>/..., shell/Desktop, shell/StartMenu, shell/Startup,
// shell/SendTo for the program group and the shortcuts; registry.reg
// (optional), a REGEDIT4 or "Windows Registry Editor Version 5.00" export.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/json.h"
#include "tools/uninstdat/result.h"
#include "tools/uninstdat/stage/registry_export.h"

namespace uninstdat {

struct ScanOptions {
  std::string stage;          // the stage's folder
  std::string installFolder;  // Windows path, UTF-8, such as C:\Program Files\Widget
  Machine machine;            // whose folders become location macros (UTF-8)
  int codePage = 1252;
  bool allUsers = false;
};

// The registry list for the items of an export: a key it creates becomes a
// whole-key entry (its subkeys go with it) only when one product owns it
// (JudgeWholeKey); every value it adds outside such a key becomes a value
// entry of its own. `notes` receives the keys that stay and the default
// values that cannot be listed.
Json RegistryEntries(const std::vector<RegistryItem>& items, std::vector<std::string>* notes);

// The manifest for the stage; `notes` receives what the uninstaller cannot
// take away (a folder of shortcuts, a default value under a shared key).
// Fails with kBadInput and the reason when the stage cannot be read or named
// in the code page.
Result<Json> Scan(const ScanOptions& options, std::vector<std::string>* notes);

}  // namespace uninstdat
