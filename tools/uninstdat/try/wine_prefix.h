// How a Wine prefix looks to the uninstaller of one Windows family and build,
// and a stage laid out onto it: the machine `try` proves an uninstall on.
//
// A stage is written once, as a 32-bit program sees the NT family:
// files/C/Windows, files/C/Windows/System32 for the system folder,
// files/C/Program Files. Each family and build finds those folders elsewhere
// in the prefix: the system folder is C:\windows\system on Windows 95 and
// 98, C:\windows\syswow64 for a 32-bit program in a 64-bit prefix, else
// C:\windows\system32; ProgramFilesDir is C:\Program Files (x86) for a
// 32-bit program in a 64-bit prefix. So one stage passes on every family,
// on either kind of host.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/result.h"

namespace uninstdat {

// The prefix as one family and build see it.
struct WineView {
  uninst::OsFamilyValue family = uninst::kOsNt;
  bool wow64 = true;  // a 32-bit build in a 64-bit prefix
  std::string user;   // the prefix's user, the folder in C:\users
  bool allUsers = false;  // the data file's word: the all-users shell folders on the NT family
};

// A Windows path of the stage's own view (C:\Windows\System32,
// C:\Program Files, any ASCII case) as it lies in this view's prefix;
// other paths unchanged.
std::string MapStagePath(const WineView& view, const std::string& path);

// A path the uninstaller names (what it passes to DeleteFileA) as it lies on
// disk: a 32-bit program's System32 is SysWOW64 in a 64-bit prefix.
std::string OnDiskPath(const WineView& view, const std::string& path);

// The folders Wine gives the uninstaller, as a machine description for the
// uninstaller's own resolver (plan): C:\windows, Wine's system folder, the
// user's Temp, ProgramFilesDir and the shell folders of the prefix.
Machine WineMachine(const WineView& view);

// The prefix's folder for a stage's shell/<name> folder (Programs, Desktop,
// StartMenu, Startup, SendTo): the all-users one on the NT family when the
// data file says so, as the uninstaller chooses. Empty for another name.
std::string ShellFolder(const WineView& view, const std::string& name);

// Where a thing lies: a drive ("C", "D", ...) or "HOME", and its path below
// that root with "/" (the bytes of the names on disk).
struct Location {
  std::string root;
  std::string path;
  bool operator<(const Location& other) const {
    return root != other.root ? root < other.root : path < other.path;
  }
  bool operator==(const Location& other) const { return root == other.root && path == other.path; }
};

// One thing laid out: its Windows path (as the prefix names it), where it
// lies, whether it is a folder, and whether the pristine prefix had it.
struct Placed {
  std::string windowsPath;
  Location location;
  bool folder = false;
  bool existed = false;
};

// Lays out trees onto a pristine prefix: new files and folders go into a
// layer (host folders for the prefix and HOME) that is later mounted over
// the pristine ones. Names are matched against the pristine prefix and the
// layer without regard to ASCII case, as Windows finds them, and a path
// through one of the prefix's links (Desktop and Documents lead into HOME)
// lies where the link leads. The pristine prefix is only read.
class PrefixLayout {
 public:
  PrefixLayout(const std::string& lowerPrefix, const std::string& lowerHome, const std::string& layerPrefix,
               const std::string& layerHome);

  // Puts the file `source` (or, when empty, a folder) at the Windows path
  // `path` (X:\...). A file in a Startup folder is laid out empty: a restart
  // of the prefix opens every item there, and a stage's items must never
  // run (the uninstaller deletes them by name). `replace` lets a file of the
  // layer be replaced (the uninstaller over a staged copy of itself). Fails
  // (kBadInput, the path first) when the path would replace a file of the
  // pristine prefix, put a file where a folder is or the other way round,
  // lead outside the prefix and HOME through a link, or lay out
  // C:\windows\WININIT.INI (which Wine carries out whenever the prefix
  // starts), and when the layer cannot be written.
  Result<Placed> Place(const std::string& path, const std::string& source, bool replace);

  // Lays out a stage-shaped tree (files/<drive>/..., shell/<folder>/...,
  // see scan.h) for `view`, parents before what they hold, and gives what
  // was placed. Stage paths are mapped with MapStagePath. Fails (kBadInput)
  // at the first item that cannot be placed, with the item's path.
  Result<std::vector<Placed>> LayOutTree(const std::string& tree, const WineView& view);

 private:
  struct Entry {
    std::string name;
    char type = 0;  // 'd', 'f', 'l'
    std::string target;
    bool inLower = false;  // the pristine prefix has it
  };
  const std::map<std::string, Entry>& Listing(const std::string& base, const std::string& path);
  bool Find(const std::string& base, const std::string& path, const std::string& name, Entry* entry);
  // Makes `at` of `base` in the layer, named `name` in its folder: the file
  // `source` (laid out empty in a Startup folder), or a folder when
  // `source` is empty; `windows` is its Windows path. Fails with why not.
  Result<void> MakeInLayer(const std::string& base, const std::string& at, const std::string& windows,
                           const std::string& name, const std::string& source);
  Result<void> FollowLink(std::string* base, std::string* path, const std::string& target);
  std::string DriveRoot(char letter, std::string* base);

  std::map<std::string, std::string> lower_, layer_;  // base ("prefix", "home") to folder
  std::map<std::string, std::map<std::string, Entry>> listings_;  // base + "\n" + path to listing
};

}  // namespace uninstdat
