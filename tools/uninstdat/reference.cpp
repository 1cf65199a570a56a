// The fresh machine; see reference.h. The lists are texts built into the
// program (cmake/embed_reference.cmake), read once on first use.
#include "tools/uninstdat/reference.h"

#include <algorithm>
#include <vector>

#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/names.h"

namespace uninstdat {

extern const char kFreshKeys[];
extern const char kFreshFolders[];
extern const char kMoreFolders[];

namespace {

// The lines of a list, without comments and blank lines.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line[0] != '#') lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

bool FreshMachineHasKey(std::string_view canonical) {
  static const std::unordered_set<std::string> keys = [] {
    std::unordered_set<std::string> set;
    for (std::string_view line : Lines(kFreshKeys)) set.insert(CanonicalKey(line));
    return set;
  }();
  std::string key(canonical);
  if (BelowFreshKeyList(key)) key.resize(key.find('\\', key.find('\\', 18) + 1));
  return keys.count(key) != 0;
}

bool BelowFreshKeyList(std::string_view canonical) {
  return canonical.compare(0, 18, "HKEY_CLASSES_ROOT\\") == 0 &&
         std::count(canonical.begin(), canonical.end(), '\\') > 2;
}

MachineFolders::MachineFolders(const Machine& machine, const uninst::CodePage& codePage)
    : codePage_(codePage) {
  const std::pair<std::string_view, const std::string*> macros[] = {
      {"<Win>", &machine.windowsDir},           {"<Sys>", &machine.systemDir},
      {"<ProgramFiles>", &machine.programFilesDir}, {"<CommonFiles>", &machine.commonFilesDir},
      {"<Profile>", &machine.profileDir}};
  for (const char* list : {kFreshFolders, kMoreFolders})
    for (std::string_view line : Lines(list)) {
      if (line[0] != '<') {
        Add(std::string(line));
        continue;
      }
      for (const auto& [macro, folder] : macros)
        if (line.substr(0, macro.size()) == macro && !folder->empty())
          Add(*folder + std::string(line.substr(macro.size())));
    }
  for (const std::string* folder : {&machine.windowsDir, &machine.systemDir, &machine.tempDir,
                                    &machine.programFilesDir, &machine.commonFilesDir, &machine.profileDir})
    if (!folder->empty()) Add(*folder);
  for (const auto& [csidl, folder] : machine.shellFolders)
    if (!folder.empty()) Add(folder);
}

// Whether `path` needs no resolving: no "/", no "." or ".." component, no
// empty component, no backslash at the end. Most paths do not.
bool MachineFolders::Plain(std::string_view path) {
  if (path.empty()) return true;
  if (path.back() == '\\') return false;
  for (size_t i = 0; i < path.size(); ++i) {
    char before = i ? path[i - 1] : '\\';
    if (path[i] == '/' || ((path[i] == '.' || path[i] == '\\') && before == '\\')) return false;
  }
  return true;
}

std::string MachineFolders::Key(std::string_view path) const {
  // "/" is never the second byte of a double-byte character, so it may be
  // replaced byte by byte.
  std::string key(path);
  bool plain = Plain(key);
  for (char& c : key)
    if (c == '/') c = '\\';
  UpperAsciiInPlace(codePage_, &key);
  return plain ? key : NormalizePath(codePage_, key);
}

void MachineFolders::Add(const std::string& path) {
  // The folder and each folder that holds it, up to the drive.
  std::string key = Key(path);
  while (!key.empty() && folders_.insert(key).second) {
    const char* last = nullptr;
    for (const char* at = key.c_str(); (at = codePage_.Find(at, '\\')); ++at) last = at;
    if (!last) break;
    key.resize(static_cast<size_t>(last - key.c_str()));
  }
}

bool MachineFolders::Has(std::string_view path) const { return folders_.count(Key(path)) != 0; }

bool MachineFolders::HasUpper(const std::string& upper) const {
  return Plain(upper) ? folders_.count(upper) != 0 : Has(upper);
}

}  // namespace uninstdat
