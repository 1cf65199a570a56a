// Wine's registry files read whole: every key with its values, each value
// with its type and its data as Windows holds them, so that capture can
// tell an added value from a changed one and write it back exactly.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tools/uninstdat/result.h"

namespace uninstdat {

// Registry value types that capture names.
enum RegistryType : uint32_t {
  kRegNone = 0,
  kRegString = 1,
  kRegExpandString = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegLink = 6,
  kRegMultiString = 7,
  kRegQword = 11,
};

// A value: its type and its data, the bytes Windows returns for it (a
// string is UTF-16LE with its terminating NUL).
struct RegistryValue {
  uint32_t type = kRegNone;
  std::string data;
  bool operator==(const RegistryValue& other) const { return type == other.type && data == other.data; }
  bool operator!=(const RegistryValue& other) const { return !(*this == other); }
};

// A key: whether it is one of Wine's symbolic links (which only lead to
// another key) and its values by name; the default value's name is empty.
struct RegistryKey {
  bool link = false;
  std::map<std::string, RegistryValue> values;
};

// Keys by their full names (ROOT\subkey with the root's full name, UTF-8).
using Hive = std::map<std::string, RegistryKey>;

// Reads a Wine registry file (system.reg, user.reg, userdef.reg) into
// `hive`, each key under `root` (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
// HKEY_USERS\.DEFAULT). Names and string data are unescaped as Wine writes
// them (\\, \", the C escapes, octal, \x with up to four hex digits, one
// UTF-16 unit each); "str(N):" strings keep their type N; "dword:", "hex:"
// and "hex(N):" data (continued over lines by a trailing backslash) are
// read as bytes. Keys that Wine does not write because they only hold
// other keys are there all the same; a hive read after another adds to
// `hive`. Fails with kBadInput (naming the line) when a line is not what
// Wine writes.
Result<void> ReadWineHiveValues(const std::string& bytes, const std::string& root, Hive* hive);

// UTF-16LE bytes as UTF-8: each pair of surrogates as its character, a lone
// surrogate as its own code point (as Wine shows it), the text up to the
// first NUL when `toNul`. False when the byte count is odd.
bool Utf16LeBytesToUtf8(const std::string& bytes, bool toNul, std::string* text);

}  // namespace uninstdat
