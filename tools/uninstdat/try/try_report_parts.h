// How try's report matches what the uninstaller took against what was laid
// out (try_report_names.cpp), for the report's builder (try_report.cpp).
// Internal to try/. Every text is in upper case, as the hives and the
// comparisons hold them.
#pragma once

#include <string>
#include <vector>

namespace uninstdat {

// Whether `upper` is `folder` or lies below it (a Windows path or a key).
bool Within(const std::string& upper, const std::string& folder);

// Whether `path` matches `pattern` whose last name holds * or ? (as
// DeleteFile's search for a pattern matches): the folders the same, the
// last names by the pattern. Both in upper case.
bool MatchesPattern(const std::string& path, const std::string& pattern);

// The forms a key of a .reg export takes in Wine's hives: a 32-bit
// program's HKLM\Software is its Wow6432Node, and HKEY_CLASSES_ROOT lies
// under Software\Classes of the machine or the user. Upper case; none for
// a root that no hive holds.
std::vector<std::string> HiveForms(const std::string& key);

// Whether a key is one that a fresh Windows already has (Run, Software,
// ...), the key itself and not one below it: nobody's to remove.
bool Shared(const std::string& key);

}  // namespace uninstdat
