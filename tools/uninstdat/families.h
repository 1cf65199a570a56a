// The Windows families as the tool names them: the engine's OsFamilyValue,
// the short names of options and records ("95", "98", "nt", "unknown") and
// the long names of messages.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/run_state.h"

namespace uninstdat {

using uninst::OsFamilyValue;

// "95", "98", "nt" or "unknown".
const char* FamilyName(OsFamilyValue family);
// "Windows 95", "Windows 98/Me", "NT family" or "unknown".
const char* FamilyLongName(OsFamilyValue family);
// The family of a short name in any letter case, or nullopt.
std::optional<OsFamilyValue> FamilyOfName(const std::string& name);
// The long names, separated by commas.
std::string FamilyList(const std::vector<OsFamilyValue>& families);
// The short names, separated by commas and the last by "and" ("95, 98 and
// nt"), as the help of a command names its default families.
std::string FamilyNameList(const std::vector<OsFamilyValue>& families);

}  // namespace uninstdat
