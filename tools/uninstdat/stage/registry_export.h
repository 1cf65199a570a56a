// A registry export (.reg) as a stage holds it: REGEDIT4 in the code page,
// or "Windows Registry Editor Version 5.00" in UTF-16 or UTF-8, read into the
// keys and values it creates and deletes. Scan lists them; try checks them
// and imports them.
#pragma once

#include <string>
#include <vector>

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
// False with `error` when it does not convert.
bool DecodeRegistryExport(const std::string& bytes, int codePage, std::string* text, std::string* error);

// The keys and values a .reg export creates, in its order (UTF-8). False with
// `error` when it is no registry export. `codePage` is the one of a REGEDIT4
// file (version 5 files are Unicode). `deletions`, when given, receives the
// keys ([-KEY]) and values ("name"=-) it deletes.
bool ParseRegistryExport(const std::string& bytes, int codePage, std::vector<RegistryItem>* items,
                         std::string* error, std::vector<RegistryItem>* deletions = nullptr);

}  // namespace uninstdat
