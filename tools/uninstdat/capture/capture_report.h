// What a capture found and what of it goes into the stage: every change the
// installer made, each either captured (into files/, shell/ or
// registry.reg) or left out with the reason, the install folder, the
// shortcuts' users, a restart, the windows of an installer that waited,
// and the caps. Typed records; the text and JSON are renderings of them
// (capture_render.h), and only the command chooses the exit code.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/uninstdat/capture/capture_diff.h"
#include "tools/uninstdat/capture/install_folder.h"
#include "tools/uninstdat/capture/installer_kind.h"
#include "tools/uninstdat/capture/stage_place.h"
#include "tools/uninstdat/json.h"

namespace uninstdat {

// The most a capture writes into a stage; beyond one of them it writes
// nothing and says which stopped it.
struct CaptureLimits {
  size_t files = 50000;          // files and folders
  uint64_t bytes = 4ull << 30;   // the files' bytes
  size_t keys = 50000;           // registry keys and values
};

// Everything a capture saw, gathered by the session.
struct CaptureFacts {
  InstallerInfo installer;
  std::string installerName;  // the installer's file name
  uint64_t installerBytes = 0;
  std::string arguments;      // --args
  std::string commandLine;    // as it ran
  std::string family;         // nt, 98 or 95
  CaptureView view;
  CaptureChanges changes;
  std::map<Location, uint64_t> sizes;                  // of the files the run added
  std::map<Location, std::string> oldTexts, newTexts;  // a changed file's contents, when small
  std::string account;         // the run's account (session.sh capture)
  std::string controlAccount;  // the control run's
  std::string scriptCap;       // capture.sh's cap: "files COUNT LIMIT" or "bytes COUNT LIMIT", or empty
  std::string givenInstallFolder;
  CaptureLimits limits;
};

// One item the installer changed.
struct CaptureRecord {
  enum Record {
    kCaptured,  // into the stage
    kLeftOut,   // left out, and reported: something to read
    kNote,      // left out as it must be: Windows Installer's records, the uninstaller itself
  };
  enum Item { kFile, kFolder, kLink, kKey, kValue };
  Record record = kCaptured;
  Item item = kFile;
  std::string path;        // a file's Windows path in the prefix, or a key as the installer named it
  std::string value;       // a value's name ("" the default value)
  std::string type;        // a value's type name
  std::string stage;       // captured: its stage path, or "registry.reg"
  std::string reason;      // left out: other-drive, profile, other-view, not-a-file, name, clash,
                           // refused, scheduled, changed, deleted; notes: uninstaller, windows-installer
  std::string why;         // the reason in words
  std::string old, now;    // changed and deleted: what was there and what is (data, or sha256:HASH)
  std::vector<std::string> linesAdded, linesRemoved;  // a changed text file's lines
};

// What the stage will hold, in the order to write it.
struct StagePlan {
  std::vector<std::string> folders;                        // stage paths
  std::vector<std::pair<std::string, Location>> files;     // stage path and where the run left it
  std::string registry;                                    // registry.reg, or empty for none
  Json captureJson;                                        // capture.json
};

struct CaptureReport {
  InstallerInfo installer;
  std::string installerName, commandLine, family;
  int installerExit = -1;  // -1: it did not end by itself
  std::vector<CaptureRecord> records;  // captured, then left out, then notes, each in path order
  size_t captured = 0, leftOut = 0, notes = 0;
  InstallFolderChoice installFolder;
  std::string installFolderProblem;  // why the folder chosen cannot be the install folder, or empty
  bool allUsers = false;
  std::vector<std::string> otherUsersShortcuts;  // shell items in the other users' folders than allUsers says
  bool restartAsked = false;                     // by ExitWindowsEx, or by the exit code 3010 or 1641
  std::vector<std::string> scheduled;            // what the installer scheduled for a restart
  bool timedOut = false;                         // the installer still ran at the timeout
  std::vector<std::string> windows;              // its windows then: "caption | text"
  std::vector<std::string> outlived;             // processes of the installer's that outlived it
  const char* silentSwitch = nullptr;            // for an installer that waited, of its kind
  std::string cap;                               // "files", "bytes" or "keys": the cap that stopped it
  uint64_t capCount = 0, capLimit = 0;
  std::vector<std::string> fatal;  // why no stage can be trusted: the run cannot be read (exit 3)
  bool writesStage = false;        // whether the stage is to be written
  std::string stage;               // the stage written, once it is
  std::string scanCommand;         // what to run next

  // Whether nothing was reported: everything captured, notes aside.
  bool Clean() const;
};

// Sorts the facts into the report and the stage's contents.
CaptureReport BuildCaptureReport(const CaptureFacts& facts, StagePlan* plan);

// The stage-view Windows path of a stage path of files/C: C:\Program Files\...
std::string StageWindowsPath(const std::string& stagePath);

}  // namespace uninstdat
