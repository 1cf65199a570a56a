// The shell folders that a data file's shortcuts and program group reach,
// declared once for the whole tool: the stage's folder of each (shell/NAME),
// the data file's list that names what is in it, the uninstaller's member
// for that list, the folder ids of the user's own folder and of all users'
// one, and the names a machine description gives them. And where they lie in
// a profile of NT 6 and later, the layout that Wine's prefixes share, so that
// the described machine, try's prefix and capture's mapping back agree.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "engine/data_file_layout.h"
#include "engine/run_state.h"

namespace uninstdat {

struct ShellFolderKind {
  const char* stageName;                               // shell/<stageName> in a stage
  uninst::DataText list;                               // the data file's list of it (Programs: the group)
  const char* uninst::UninstallData::*member;          // that list in the uninstaller's data
  int ownFolder;                                       // folder id of the user's own folder
  int commonFolder;                                    // of all users' folder; -1: none (SendTo)
  const char* ownName;                                 // a machine description's names of them
  const char* commonName;                              // nullptr where there is no all users' folder
};

// Programs, Desktop, SendTo, StartMenu and Startup, in the data file's
// order of their lists.
constexpr int kShellFolderKindCount = 5;
const ShellFolderKind* ShellFolderKinds();
// The kind of a stage's folder name (exact), or of a list; nullptr for none.
const ShellFolderKind* ShellFolderByStageName(std::string_view name);
const ShellFolderKind* ShellFolderByList(uninst::DataText list);
// The kind and whether it is all users' folder, for a folder id; nullptr
// for an id that is no folder of a kind (Fonts).
const ShellFolderKind* ShellFolderById(int folder, bool* common);

// A profile's shell folders, the user's own and all users', by folder id,
// in the layout of NT 6 and later: `users` the profiles' folder
// ("C:\\Users"; Wine's is "C:\\users"), `user` the user's name, and the
// Startup folder's spelling (Windows "Startup", Wine "StartUp"). The Fonts
// folder is the Windows folder's and not among them.
std::map<int, std::string> ProfileShellFolders(const std::string& users, const std::string& user,
                                               const std::string& startup);

}  // namespace uninstdat
