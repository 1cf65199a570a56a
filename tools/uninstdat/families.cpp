// The Windows families' names; see families.h.
#include "tools/uninstdat/families.h"

#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

struct FamilyNames {
  OsFamilyValue family;
  const char* name;
  const char* longName;
};

const FamilyNames kFamilies[] = {
    {uninst::kOsUnknown, "unknown", "unknown"},
    {uninst::kOsWin95, "95", "Windows 95"},
    {uninst::kOsWin98, "98", "Windows 98/Me"},
    {uninst::kOsNt, "nt", "NT family"},
};

const FamilyNames& Of(OsFamilyValue family) {
  for (const FamilyNames& names : kFamilies)
    if (names.family == family) return names;
  return kFamilies[0];
}

}  // namespace

const char* FamilyName(OsFamilyValue family) { return Of(family).name; }

const char* FamilyLongName(OsFamilyValue family) { return Of(family).longName; }

std::optional<OsFamilyValue> FamilyOfName(const std::string& name) {
  std::string lower = LowerAscii(name);
  for (const FamilyNames& names : kFamilies)
    if (lower == names.name) return names.family;
  return std::nullopt;
}

std::string FamilyList(const std::vector<OsFamilyValue>& families) {
  std::string text;
  for (OsFamilyValue family : families) text += (text.empty() ? "" : ", ") + std::string(FamilyLongName(family));
  return text;
}

std::string FamilyNameList(const std::vector<OsFamilyValue>& families) {
  std::string text;
  for (size_t i = 0; i < families.size(); ++i)
    text += (i == 0 ? "" : i + 1 == families.size() ? " and " : ", ") + std::string(FamilyName(families[i]));
  return text;
}

}  // namespace uninstdat
