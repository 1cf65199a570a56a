// A registry export (.reg) as a stage holds it: REGEDIT4 in the code page,
// or "Windows Registry Editor Version 5.00" in UTF-16 or UTF-8, read into the
// keys and values it creates and deletes. Scan lists them; try checks them
// and imports them.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/result.h"

namespace uninstdat {

// A registry item that an export creates: a key (value empty) or a value.
struct RegistryItem {
  std::string key;    // ROOT\subkey with the root's full name, UTF-8
  std::string value;  // the value name, or empty for the key
  bool defaultValue = false;  // the unnamed value "@"
};

// The text of a .reg export as UTF-8: UTF-16LE or UTF-8 after a byte-order
// mark; without one, a "Windows Registry Editor Version 5.00" file that is
// valid UTF-8 is UTF-8, anything else is in `codePage` (a REGEDIT4 file).
// Fails with kBadInput when it does not convert.
Result<std::string> DecodeRegistryExport(const std::string& bytes, int codePage);

// What a .reg export says, in its order (UTF-8): the keys and values it
// creates, and the keys ([-KEY]) and values ("name"=-) it deletes.
struct RegistryExport {
  std::vector<RegistryItem> items;
  std::vector<RegistryItem> deletions;
};

// Reads a .reg export. Fails with kBadInput when it is no registry export.
// `codePage` is the one of a REGEDIT4 file (version 5 files are Unicode).
Result<RegistryExport> ParseRegistryExport(const std::string& bytes, int codePage);

}  // namespace uninstdat
