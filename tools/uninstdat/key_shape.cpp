// Whose a registry key is; see key_shape.h.
#include "tools/uninstdat/key_shape.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tools/uninstdat/names.h"
#include "tools/uninstdat/reference.h"

namespace uninstdat {
namespace {

// The roots' long names, which the uninstaller knows, and their short ones,
// which exports and people write.
const char* const kRootNames[][2] = {
    {"HKEY_CLASSES_ROOT", "HKCR"}, {"HKEY_LOCAL_MACHINE", "HKLM"}, {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_USERS", "HKU"},         {"HKEY_CURRENT_CONFIG", "HKCC"}, {"HKEY_DYN_DATA", "HKDD"}};

// The views a program sees, in the order they are tried; each ends in a
// backslash so that only whole components match.
const char* const kFolds[][2] = {
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\CLASSES\\", "HKEY_CLASSES_ROOT\\"},
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\", "HKEY_CLASSES_ROOT\\"},
    {"HKEY_CURRENT_USER\\SOFTWARE\\CLASSES\\", "HKEY_CLASSES_ROOT\\"},
    {"HKEY_CLASSES_ROOT\\WOW6432NODE\\", "HKEY_CLASSES_ROOT\\"},
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\", "HKEY_LOCAL_MACHINE\\SOFTWARE\\"},
};

// Names directly under Software that Windows or every program keeps keys in.
const char* const kSharedVendors[] = {
    "APPDATALOW", "CLASSES", "CLIENTS", "DESCRIPTION", "MICROSOFT", "ODBC", "POLICIES",
    "REGISTERED APPLICATIONS", "REGISTEREDAPPLICATIONS", "SECURE", "WOW6432NODE"};

// Vendors of ProgIDs that only Windows registers.
const char* const kSharedProgIdVendors[] = {"MICROSOFT", "WINDOWS"};

// Folders of the Programs menu that Windows or every product shares.
const char* const kSharedGroups[] = {
    "ACCESSIBILITY", "ACCESSORIES", "ACCESSORIES\\ACCESSIBILITY", "ACCESSORIES\\COMMUNICATIONS",
    "ACCESSORIES\\ENTERTAINMENT", "ACCESSORIES\\GAMES", "ACCESSORIES\\MULTIMEDIA",
    "ACCESSORIES\\SYSTEM TOOLS", "ACCESSORIES\\WINDOWS POWERSHELL", "ADMINISTRATIVE TOOLS",
    "GAMES", "MAINTENANCE", "ONLINE SERVICES", "STARTUP", "SYSTEM TOOLS", "TABLET PC",
    "WINDOWS ACCESSORIES", "WINDOWS ADMINISTRATIVE TOOLS", "WINDOWS EASE OF ACCESS",
    "WINDOWS POWERSHELL", "WINDOWS SYSTEM"};

template <size_t N>
bool OneOf(std::string_view name, const char* const (&names)[N]) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

std::vector<std::string_view> Components(std::string_view key) {
  std::vector<std::string_view> parts;
  size_t at = 0;
  while (true) {
    size_t slash = key.find('\\', at);
    parts.push_back(key.substr(at, slash == std::string_view::npos ? std::string_view::npos : slash - at));
    if (slash == std::string_view::npos) return parts;
    at = slash + 1;
  }
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// {8-4-4-4-12 hexadecimal digits}, upper case.
bool IsGuid(std::string_view name) {
  if (name.size() != 38 || name.front() != '{' || name.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? name[i] != '-' : !IsHex(name[i])) return false;
  }
  return true;
}

// <Vendor>.<Name>[.<n>]: letters and digits only, the vendor not beginning
// with a digit, the version digits, 39 characters at most.
bool IsProgId(std::string_view name) {
  if (name.empty() || name.size() > 39 || (name[0] >= '0' && name[0] <= '9')) return false;
  std::vector<std::string_view> pieces;
  size_t at = 0;
  for (size_t dot; (dot = name.find('.', at)) != std::string_view::npos; at = dot + 1)
    pieces.push_back(name.substr(at, dot - at));
  pieces.push_back(name.substr(at));
  if (pieces.size() < 2 || pieces.size() > 3) return false;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].empty()) return false;
    for (char c : pieces[i]) {
      bool digit = c >= '0' && c <= '9';
      if (i == 2 ? !digit : !(digit || IsAsciiUpper(c))) return false;
    }
  }
  return !OneOf(pieces[0], kSharedProgIdVendors);
}

// How many components of `parts` make the key of the owned shape that holds
// it; 0 when no shape does.
size_t OwnedDepth(const std::vector<std::string_view>& parts) {
  for (std::string_view part : parts)
    if (part.empty()) return 0;  // "Software\\Vendor": not a name Windows resolves
  auto is = [&](size_t i, const char* name) { return parts.size() > i && parts[i] == name; };
  if ((is(0, "HKEY_LOCAL_MACHINE") || is(0, "HKEY_CURRENT_USER")) && is(1, "SOFTWARE")) {
    if (parts.size() >= 7 && is(2, "MICROSOFT") && is(3, "WINDOWS") && is(4, "CURRENTVERSION") &&
        (is(5, "UNINSTALL") || is(5, "APP PATHS")))
      return 7;
    if (parts.size() >= 3 && !OneOf(parts[2], kSharedVendors)) return 3;
  }
  if (is(0, "HKEY_LOCAL_MACHINE") && parts.size() >= 5 && is(1, "SYSTEM") && is(2, "CURRENTCONTROLSET") &&
      is(3, "SERVICES"))
    return 5;
  if (is(0, "HKEY_CLASSES_ROOT")) {
    if (parts.size() >= 3 && (is(1, "CLSID") || is(1, "INTERFACE") || is(1, "TYPELIB") || is(1, "APPID")) &&
        IsGuid(parts[2]))
      return 3;
    if (parts.size() >= 2 && IsProgId(parts[1])) return 2;
  }
  return 0;
}

}  // namespace

const char* LongRootName(std::string_view root, bool shortOnly) {
  std::string upper(root);
  for (char& c : upper) c = AsciiUpper(c);
  for (const auto& names : kRootNames)
    if ((!shortOnly && upper == names[0]) || upper == names[1]) return names[0];
  return nullptr;
}

std::string CanonicalKey(std::string_view key) {
  std::string upper(key);
  for (char& c : upper) c = AsciiUpper(c);
  while (!upper.empty() && upper.back() == '\\') upper.pop_back();
  std::string_view root = std::string_view(upper).substr(0, upper.find('\\'));
  const char* longRoot = LongRootName(root);
  if (!longRoot || root != longRoot) return "";
  upper += '\\';
  for (bool folded = true; folded;) {
    folded = false;
    for (const auto& fold : kFolds)
      if (upper.compare(0, strlen(fold[0]), fold[0]) == 0) {
        upper = fold[1] + upper.substr(strlen(fold[0]));
        folded = true;
      }
  }
  upper.pop_back();
  return upper;
}

KeyVerdict JudgeWholeKey(std::string_view key) {
  std::string canonical = CanonicalKey(key);
  if (canonical.empty()) return {KeyVerdict::kShared, ""};
  if (FreshMachineHasKey(canonical)) return {KeyVerdict::kFreshMachine, canonical};
  std::vector<std::string_view> parts = Components(canonical);
  size_t depth = OwnedDepth(parts);
  if (!depth) return {KeyVerdict::kShared, ""};
  std::string owner(parts[0]);
  for (size_t i = 1; i < depth; ++i) (owner += '\\') += parts[i];
  if (FreshMachineHasKey(owner)) return {KeyVerdict::kFreshMachine, owner};
  // Software\<Vendor> is the shape's key itself only when nothing follows it.
  bool vendor = parts[0] != "HKEY_CLASSES_ROOT" && parts.size() == 3 && parts[1] == "SOFTWARE";
  return {vendor ? KeyVerdict::kVendor : KeyVerdict::kProduct, owner};
}

bool IsSharedProgramGroup(std::string_view upperGroup) { return OneOf(upperGroup, kSharedGroups); }

}  // namespace uninstdat
