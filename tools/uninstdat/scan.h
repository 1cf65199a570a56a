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
#include "tools/uninstdat/manifest.h"

namespace uninstdat {

struct ScanOptions {
  std::string stage;          // the stage's folder
  std::string installFolder;  // Windows path, UTF-8, such as C:\Program Files\Widget
  Machine machine;            // whose folders become location macros (UTF-8)
  int codePage = 1252;
  bool allUsers = false;
};

// A registry item that an export creates: a key (value empty) or a value.
struct RegistryItem {
  std::string key;    // ROOT\subkey with the root's full name, UTF-8
  std::string value;  // the value name, or empty for the key
  bool defaultValue = false;  // the unnamed value "@"
};

// The text of a .reg export as UTF-8: UTF-16LE or UTF-8 after a byte-order
// mark; without one, a "Windows Registry Editor Version 5.00" file that is
// valid UTF-8 is UTF-8, anything else is in `codePage` (a REGEDIT4 file).
// False with `error` when it does not convert.
bool DecodeRegistryExport(const std::string& bytes, int codePage, std::string* text, std::string* error);

// The keys and values a .reg export creates, in its order (UTF-8). False with
// `error` when it is no registry export. `codePage` is the one of a REGEDIT4
// file (version 5 files are Unicode). `deletions`, when given, receives the
// keys ([-KEY]) and values ("name"=-) it deletes.
bool ParseRegistryExport(const std::string& bytes, int codePage, std::vector<RegistryItem>* items,
                         std::string* error, std::vector<RegistryItem>* deletions = nullptr);

// The registry list for the items of an export: a key it creates becomes a
// whole-key entry (its subkeys go with it) only when one product owns it
// (JudgeWholeKey); every value it adds outside such a key becomes a value
// entry of its own. `notes` receives the keys that stay and the default
// values that cannot be listed.
Json RegistryEntries(const std::vector<RegistryItem>& items, std::vector<std::string>* notes);

// The manifest for the stage; `notes` receives what the uninstaller cannot
// take away (a folder of shortcuts, a default value under a shared key).
// False with `error` when the stage cannot be read or named in the code page.
bool Scan(const ScanOptions& options, Json* manifest, std::vector<std::string>* notes,
          std::string* error);

}  // namespace uninstdat
