// What `try` saw, and what it tells the author: snapshots of a prefix read
// from records that no name can forge, and their comparison into the
// report (what was staged and is left, the uninstaller left, keys left
// empty, entries that matched nothing staged, the restart question, and
// the safety report of what went though nobody staged it). Pure: the
// Wine side and the processes are try.cpp's.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/scan.h"
#include "tools/uninstdat/wine_prefix.h"

namespace uninstdat {

// A file, folder or link of a snapshot: its type as find prints it ('f',
// 'd', 'l', ...) and, for a link, where it leads.
struct FileRecord {
  char type = 'f';
  std::string target;
  bool operator==(const FileRecord& other) const { return type == other.type && target == other.target; }
};
using FileSnapshot = std::map<Location, FileRecord>;

// Reads NUL-ended fields in fours: root, type, path, link target. Names may
// hold any byte but NUL, so no name can make a record of its own. False
// when the records are cut short.
bool ReadFileSnapshot(const std::string& bytes, FileSnapshot* snapshot);

// A registry key, or a value of it, with the root's full name first.
struct RegistryName {
  std::string key;
  std::string value;
  bool isValue = false;
  bool operator<(const RegistryName& other) const;
};
using RegistrySnapshot = std::set<RegistryName>;

// The keys and values of a Wine registry file, their names unescaped as
// Wine escapes them (\\, \", \n and the other letters, \x with up to four
// hex digits), each key under `root` (HKEY_LOCAL_MACHINE for system.reg,
// HKEY_CURRENT_USER for user.reg, HKEY_USERS\.DEFAULT for userdef.reg).
void ReadWineHive(const std::string& bytes, const std::string& root, RegistrySnapshot* snapshot);

// One snapshot: the files of every drive and HOME, and the three hives.
struct Snapshot {
  FileSnapshot files;
  RegistrySnapshot registry;
};

// Everything one family's run left to compare.
struct TryRun {
  std::string family;                  // nt, 98 or 95
  const TargetCodePage* page = nullptr;  // the data file's: the runner speaks it
  RegistrySnapshot pristine;           // the hives of the pristine prefix
  Snapshot before, after, control;     // before the run, after it, after the control run
  std::vector<Placed> staged;          // what the stage put there (not --also)
  Placed installFolder, uninstaller, dataFile;
  std::vector<RegistryItem> exported;  // what the stage's export creates
  std::vector<std::pair<size_t, std::string>> listed;  // removal entries: index, path on disk (UTF-8)
  std::string runOutput, controlOutput, importOutput;  // the runner's accounts (code page bytes)
};

struct FamilyReport {
  std::vector<Json> records;  // in the order they are shown, each with "family"
  size_t left = 0, uninstallerLeft = 0, leftEmpty = 0, unmatched = 0, removedUnstaged = 0, errors = 0;
  bool restartAsked = false;
  int codePageSeen = 0;  // what the runner said Wine runs with, 0 if nothing
  int exit = 0;          // 0 clean, 1 anything to mend
};

// The report of one run: records "box", "left", "uninstaller-left",
// "left-empty", "unmatched" (informational), "restart", "removed-unstaged",
// "error", then "summary". An item that went in the run counts as Wine's
// own churn only when the control run changed the same item in the same
// way; nothing is filtered by its name or by a subtree.
FamilyReport CompareRun(const TryRun& run);

// Shows a location as a Windows path: drives as X:\..., HOME through the
// prefix's link to it (C:\users\<user>\Desktop\...), else as the sandbox
// names it (Z:\sandbox\home\...). Valid UTF-8.
std::string ShowLocation(const Location& location, const FileSnapshot& links);

// The report as JUnit XML: one test case per family, one failure per
// finding (informational records are no failures).
std::string JUnitXml(const std::vector<FamilyReport>& reports);

}  // namespace uninstdat
