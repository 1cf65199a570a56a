// registry.reg as capture writes it: "Windows Registry Editor Version 5.00"
// in UTF-8, each value with its exact type, so that a stage carries the
// installer's keys and values as the installer wrote them.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/capture/wine_hive.h"

namespace uninstdat {

// A key of the file, with the values to write under it (a key the
// installer only added values to is written for them).
struct RegistryFileKey {
  std::string key;  // ROOT\subkey with the root's full name, UTF-8
  std::vector<std::pair<std::string, RegistryValue>> values;  // name ("" the default value) and value
};

// Why a key or value name cannot be written into registry.reg, or null:
// a line end or a NUL (a line of the file would end inside it), or no
// UTF-8 (a lone surrogate of UTF-16).
const char* RegistryNameProblem(const std::string& name);

// The value's data as a line of the file writes it after "=": a string
// "text" (when its data is one UTF-16 string ending in its only NUL, with
// no line end), dword:xxxxxxxx (four bytes), hex(2): for an expandable
// string, hex(7): for a multi-string, hex(b): for a QWORD, hex: for binary
// data, hex(N): for any other type or data; long hex data continues over
// lines as regedit writes it (",\" then two blanks).
std::string RegistryDataText(const RegistryValue& value);

// The type's name for a report: string, expandable string, multi-string,
// DWORD, QWORD, binary, none, or "type N".
std::string RegistryTypeName(uint32_t type);

// The file: the header, then each key in the order given with its values,
// CR LF line ends, UTF-8 without a byte-order mark. Names must pass
// RegistryNameProblem.
std::string RegistryFileText(const std::vector<RegistryFileKey>& keys);

}  // namespace uninstdat
