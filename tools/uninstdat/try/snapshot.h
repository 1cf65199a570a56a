// What try saw: snapshots of a prefix, read from records that no name can
// forge (the files of every drive and HOME) and from Wine's registry files.
#pragma once

#include <map>
#include <set>
#include <string>

#include "tools/uninstdat/try/wine_prefix.h"

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

}  // namespace uninstdat
