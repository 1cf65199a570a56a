// What an installer changed: the prefix before it ran, after it ran, and
// after a control run that started the same prefix without it, compared
// item by item. A change counts as Wine's own only when the control run
// changed the same item too, to the same presence (both added it, both
// deleted it, or both rewrote what was there, as Wine rewrites time stamps
// at every start); nothing is ignored by its name or as part of a subtree.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/uninstdat/capture/wine_hive.h"
#include "tools/uninstdat/try/snapshot.h"

namespace uninstdat {

// One snapshot of a capture: the files of every drive and HOME (try's
// records), the SHA-256 of each file whose status changed since the run
// began (a file not named there has its contents of before), and the
// three hives.
struct CaptureSnapshot {
  FileSnapshot files;
  std::map<Location, std::string> hashes;
  Hive registry;
};

// Reads `sha256sum -z` output ("HASH  PATH\0" each) of the files of `root`
// into `hashes`. False when it is cut short or not such output.
bool ReadSha256Sums(const std::string& bytes, const std::string& root, std::map<Location, std::string>* hashes);

// A file, folder or link as one snapshot has it: type 0 when it is not
// there; the hash of a file's contents.
struct FileState {
  char type = 0;
  std::string target;
  std::string hash;
  bool operator==(const FileState& other) const {
    return type == other.type && target == other.target && hash == other.hash;
  }
  bool operator!=(const FileState& other) const { return !(*this == other); }
};

struct FileChange {
  Location where;
  FileState before, after;  // before.type 0: added; after.type 0: deleted; else changed
};

struct KeyChange {
  std::string key;  // as the hives name it
  bool added = true;  // else deleted
};

struct ValueChange {
  std::string key, name;  // name empty: the default value
  bool before = false, after = false;  // whether it was there
  RegistryValue old, now;
};

struct CaptureChanges {
  std::vector<FileChange> files;    // by location
  std::vector<KeyChange> keys;      // by name, parents first
  std::vector<ValueChange> values;  // by key and name
};

// The installer's changes (see the top of this file). Keys that are Wine's
// links are no items.
CaptureChanges CompareCapture(const CaptureSnapshot& before, const CaptureSnapshot& after,
                              const CaptureSnapshot& control);

}  // namespace uninstdat
