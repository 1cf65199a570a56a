// Snapshots of a prefix; see snapshot.h.
#include "tools/uninstdat/try/snapshot.h"

#include <sstream>
#include <vector>

#include "tools/uninstdat/try/wine_text.h"

namespace uninstdat {
namespace {

// A name as Wine writes it into a registry file, from `i` up to the first
// unescaped `end`; `i` is left on that character (or at the end). Read as
// far as it goes: the caller tells a line cut short by where `i` stops.
std::string Unescape(const std::string& text, size_t* i, char end) {
  std::vector<uint16_t> units;
  static_cast<void>(UnescapeWineText(text, i, end, &units));
  return Utf16UnitsToUtf8(units);
}

}  // namespace

bool RegistryName::operator<(const RegistryName& other) const {
  if (key != other.key) return key < other.key;
  if (isValue != other.isValue) return isValue < other.isValue;
  return value < other.value;
}

bool ReadFileSnapshot(const std::string& bytes, FileSnapshot* snapshot) {
  std::string fields[4];
  size_t at = 0;
  while (at < bytes.size()) {
    for (std::string& field : fields) {
      size_t nul = bytes.find('\0', at);
      if (nul == std::string::npos) return false;
      field.assign(bytes, at, nul - at);
      at = nul + 1;
    }
    if (fields[1].size() != 1) return false;
    (*snapshot)[{fields[0], fields[2]}] = {fields[1][0], fields[3]};
  }
  return true;
}

void ReadWineHive(const std::string& bytes, const std::string& root, RegistrySnapshot* snapshot) {
  std::istringstream in(bytes);
  std::string line, key;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    size_t i = 1;
    if (line[0] == '[') {
      std::string name = Unescape(line, &i, ']');
      if (i >= line.size()) continue;  // no closing bracket: no key line
      key = root + "\\" + name;
      // Wine writes a key only when it has values or no subkeys: the keys
      // above it exist all the same.
      for (size_t end = key.size(); end > root.size(); end = key.rfind('\\', end - 1))
        if (!snapshot->insert({key.substr(0, end), "", false}).second) break;
    } else if (!key.empty() && line[0] == '"') {
      std::string name = Unescape(line, &i, '"');
      if (i < line.size()) snapshot->insert({key, name, true});
    } else if (!key.empty() && line[0] == '@' && line.size() > 1 && line[1] == '=') {
      snapshot->insert({key, "@", true});  // "@" is no value name Wine writes in quotes
    }
  }
}

}  // namespace uninstdat
