// Where what an installer left in a Wine prefix goes in a stage: the
// prefix's folders mapped back to the stage's one view, a 32-bit program's
// on the NT family (files/C/Program Files, files/C/Windows/System32, the
// shell folders in shell/...), and registry keys named as the program named
// them. The inverse of try's layout (try/wine_prefix.h), so that a captured
// stage lays out where the installer put it.
#pragma once

#include <string>

#include "tools/uninstdat/try/wine_prefix.h"

namespace uninstdat {

// How the installer saw the prefix.
struct CaptureView {
  std::string user;    // the prefix's user, the folder in C:\users
  bool wow64 = true;   // a 32-bit installer in a 64-bit prefix
};

// Where one file or folder goes.
struct StagePlace {
  enum Kind {
    kStage,       // into the stage at `stagePath`
    kOtherDrive,  // on another drive than C:
    kProfile,     // below a user's profile, outside the shell folders
    kOtherView,   // in the folders of the other bits (a 32-bit installer's file in the 64-bit Program Files)
  };
  Kind kind = kStage;
  std::string stagePath;  // "files/C/Program Files/Acme/a.txt", "shell/Desktop/Acme.lnk"
  bool shell = false;     // in a shell folder (shell/...)
  bool allUsers = false;  // in the all users' shell folder
};

// The place of the thing at `where` (a root of try's snapshots, "C", "D",
// ..., or "HOME", and its path there with "/"). Folder names match in any
// ASCII case. The stage's folder of a shell folder itself (shell/Desktop)
// is its own place; the roots of the shell folders and of the drive, none
// (kStage with an empty path).
StagePlace PlaceInStage(const Location& where, const CaptureView& view);

// The Windows path of `where` as the prefix names it: C:\Program Files
// (x86)\..., HOME's items through the prefix's links into it
// (C:\users\<user>\Desktop\...).
std::string PrefixWindowsPath(const Location& where, const CaptureView& view);

// A key of the hives as the installer named it: what Wine keeps in the
// 32-bit view (Software\Wow6432Node, Software\Classes\Wow6432Node) under
// the name a 32-bit program gives it, and HKEY_LOCAL_MACHINE\Software\Classes
// as HKEY_CLASSES_ROOT. Empty for a key of the 32-bit view when the
// installer is a 64-bit program (it named that view on purpose, and a stage
// has one view). Names compare in any ASCII case.
std::string KeyAsNamed(const std::string& key, const CaptureView& view);

}  // namespace uninstdat
