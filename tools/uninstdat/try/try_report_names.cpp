// How try's report names and matches paths and keys: a path within a folder
// or under a pattern as DeleteFile matches one, the forms a key takes in
// Wine's hives, the keys that every Windows has (which nobody removes), and
// a location of a snapshot as the Windows path a user would see. Pure.
#include <algorithm>
#include <string>
#include <vector>

#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/reference.h"
#include "tools/uninstdat/try/try_report.h"
#include "tools/uninstdat/try/try_report_parts.h"

namespace uninstdat {

bool Within(const std::string& upper, const std::string& folder) {
  return upper == folder || upper.compare(0, folder.size() + 1, folder + "\\") == 0;
}

// Whether `path` matches `pattern` whose last name holds * or ? (as
// DeleteFile's search for a pattern matches): the folders the same, the
// last names by the pattern. Both in upper case.
bool MatchesPattern(const std::string& path, const std::string& pattern) {
  size_t slash = pattern.rfind('\\');
  if (pattern.find_first_of("*?") == std::string::npos || pattern.find_first_of("*?") < slash + 1) return false;
  if (path.size() <= slash || path.compare(0, slash + 1, pattern, 0, slash + 1) != 0) return false;
  std::string name = path.substr(slash + 1), glob = pattern.substr(slash + 1);
  if (name.find('\\') != std::string::npos) return false;
  // Backtracking on the last star: linear for patterns with one star.
  size_t n = 0, g = 0, star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (g < glob.size() && (glob[g] == '?' || glob[g] == name[n])) ++n, ++g;
    else if (g < glob.size() && glob[g] == '*') star = g++, mark = n;
    else if (star != std::string::npos) g = star + 1, n = ++mark;
    else return false;
  }
  while (g < glob.size() && glob[g] == '*') ++g;
  return g == glob.size();
}

// The forms a key of a .reg export takes in Wine's hives: a 32-bit
// program's HKLM\Software is its Wow6432Node, and HKEY_CLASSES_ROOT lies
// under Software\Classes of the machine or the user. Upper case.
std::vector<std::string> HiveForms(const std::string& key) {
  std::string upper = UpperAscii(key);
  size_t backslash = upper.find('\\');
  std::string root = upper.substr(0, backslash);
  std::string rest = backslash == std::string::npos ? "" : upper.substr(backslash);
  if (root == "HKEY_CURRENT_USER") return {"HKEY_CURRENT_USER" + rest};
  if (root == "HKEY_USERS" && rest.compare(0, 10, "\\.DEFAULT\\") == 0) return {"HKEY_USERS" + rest};
  if (root == "HKEY_CLASSES_ROOT")
    return {"HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES" + rest, "HKEY_CURRENT_USER\\SOFTWARE\\CLASSES" + rest,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\WOW6432NODE" + rest};
  if (root == "HKEY_LOCAL_MACHINE") {
    std::vector<std::string> forms = {"HKEY_LOCAL_MACHINE" + rest};
    if (rest.compare(0, 10, "\\SOFTWARE\\") == 0 && rest.compare(0, 18, "\\SOFTWARE\\CLASSES\\") != 0 &&
        rest.compare(0, 19, "\\SOFTWARE\\WOW6432NODE") != 0)
      forms.push_back("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE" + rest.substr(9));
    return forms;
  }
  return {};
}

// Whether a key is one that a fresh Windows already has (Run, Software, ...):
// an export may make one where the pristine prefix lacks it, but it is
// nobody's to remove, so it is neither left nor left empty. Only the key
// itself counts: a key that a product adds below one of Windows' (a verb
// under txtfile, a file type such as .wdg) is the product's, and when it
// stays, the report says so.
bool Shared(const std::string& key) {
  size_t backslash = key.find('\\');
  if (backslash == std::string::npos) return true;  // a root
  std::string root = key.substr(0, backslash), rest = key.substr(backslash + 1);
  if (root == "HKEY_USERS" && UpperAscii(rest).compare(0, 9, ".DEFAULT\\") == 0) {
    root = "HKEY_CURRENT_USER";
    rest = rest.substr(9);
  }
  std::string canonical = CanonicalKey(root + "\\" + rest);
  // The fresh machine's list holds HKEY_CLASSES_ROOT two levels deep and
  // judges a deeper key by its ancestor there; here the pristine prefix
  // speaks for those, so a deeper key it lacks (a verb) is the product's.
  if (BelowFreshKeyList(canonical)) return false;
  KeyVerdict verdict = JudgeWholeKey(canonical);
  return !canonical.empty() && verdict.kind == KeyVerdict::kFreshMachine && verdict.owner == canonical;
}

std::string ShowLocation(const Location& location, const FileSnapshot& links) {
  std::string path = location.path;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (location.root != "HOME") return Utf8Escaped(location.root + ":\\" + path);
  // The deepest link of the prefix that leads into HOME names it.
  std::string best, bestWindows;
  for (const auto& [at, record] : links) {
    if (record.type != 'l' || at.root == "HOME") continue;
    std::string rest;
    if (record.target == "/sandbox/home") rest = "";
    else if (StartsWith(record.target, "/sandbox/home/")) rest = record.target.substr(14);
    else continue;
    bool inside = rest.empty() || location.path == rest || StartsWith(location.path, (rest + "/").c_str());
    if (!inside || (!bestWindows.empty() && rest.size() <= best.size())) continue;
    std::string linkPath = at.path;
    std::replace(linkPath.begin(), linkPath.end(), '/', '\\');
    std::string below = location.path.substr(rest.size());
    std::replace(below.begin(), below.end(), '/', '\\');
    if (rest.empty() && !below.empty()) below = "\\" + below;
    best = rest;
    bestWindows = at.root + ":\\" + linkPath + below;
  }
  return Utf8Escaped(bestWindows.empty() ? "Z:\\sandbox\\home" + (path.empty() ? "" : "\\" + path) : bestWindows);
}

}  // namespace uninstdat
