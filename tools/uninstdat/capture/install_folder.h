// The install folder of a captured installation, as scan and try want it:
// the author's, else the folder of the installer's own uninst.exe, else the
// product's folder below Program Files.
#pragma once

#include <string>
#include <vector>

namespace uninstdat {

struct InstallFolderChoice {
  enum How {
    kGiven,         // --install-folder
    kUninstaller,   // the folder that holds the installer's uninst.exe
    kProgramFiles,  // the deepest new folder below Program Files that holds all the files added there
    kNone,          // nothing qualifies
    kSeveral,       // more than one qualifies: `candidates`
  };
  How how = kNone;
  std::string folder;                   // a Windows path of the stage's view (C:\Program Files\...)
  std::vector<std::string> candidates;  // kSeveral: those that qualify
};

// Chooses among Windows paths of the stage's view, compared in any ASCII
// case: `given` when it is not empty; else the one folder that holds the
// `uninstallers` (paths of uninst.exe files the installer added), several
// folders naming kSeveral; else, of the `files` and `folders` the installer
// added below C:\Program Files, the deepest added folder that holds files
// of its own and every file added there. Where the files added there lie
// in separate trees, the topmost added folder of each that holds files of
// its own are the candidates (kSeveral, or kProgramFiles when there is one);
// where none holds files of its own, or files lie outside every added
// folder, kNone.
InstallFolderChoice ChooseInstallFolder(const std::string& given, const std::vector<std::string>& uninstallers,
                                        const std::vector<std::string>& files, const std::vector<std::string>& folders);

// "the --install-folder given", "the folder of the installer's uninst.exe", ...
const char* InstallFolderHowText(InstallFolderChoice::How how);

}  // namespace uninstdat
