// `uninstdat try`'s session: the real uninst.exe on a staged installation,
// in a sealed Wine sandbox on a throwaway copy of a pristine prefix. It
// checks every input before any Wine work, lays the stage out
// (wine_prefix.h), runs the Wine side (the helper try.sh beside the tool,
// which shares the end-to-end tests' sandbox, prefix and box-answering
// runner), bounds every wait, compares the snapshots (try_report.h) and
// removes its work folder however it ends. It returns the reports, or why
// it could not make them; what that means for the exit code is the
// command's.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/run_state.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/result.h"
#include "tools/uninstdat/try/try_report.h"

namespace uninstdat {

struct TryOptions {
  std::string stage;
  std::string installFolder;                   // a Windows path on C:, UTF-8, as the stage sees it
  std::vector<uninst::OsFamilyValue> families;  // each once, in the order to run
  bool restart = false;                        // the answer to the restart question
  std::string also;                            // a tree of the machine's own files and keys, which must stay
  bool fresh = false;                          // no canaries: a machine as Wine makes it
  std::string uninstaller;                     // uninst.exe to run; empty: beside the tool, else the build's
  std::string hold;                            // a staged file held open until the restart question
  bool keep = false;                           // keep the work folder
  int timeout = 120;                           // seconds for each wait
};

struct TryOutcome {
  // Done, or why not, naming the input: kUsage when an option names what
  // cannot be (the install folder, the file to hold), kBadInput for an
  // input that cannot be used or Wine or the sandbox that cannot run here,
  // kCannotWrite when the work folder cannot be written, kInterrupted
  // (without a message).
  Result<void> result;
  std::vector<FamilyReport> reports;  // one per family, when it is done
  std::string keptFolder;             // the work folder, when it was kept
  double seconds = 0;                 // how long it took
};

// Why `folder` cannot be the install folder, or empty: it must be an
// absolute folder below C:\ without empty, "." or ".." components and
// with names Windows can carry.
std::string InstallFolderProblem(const std::string& folder);

// The uninstaller try runs: `given` (--uninstaller) when there is one;
// else `beside` (the uninst.exe beside the tool, a 32-bit build), unless
// the Wine side says that only 64-bit Wine runs here ("bits" is "64"),
// where a 32-bit program cannot start, and the Wine side's own choice
// ("uninstaller": the bundle's 64-bit test build) is taken and `note` says
// so; else the Wine side's choice.
struct UninstallerChoice {
  std::string path;
  std::string note;  // a progress line, or empty
};
UninstallerChoice ChooseUninstaller(const std::string& given, const std::string& beside,
                                    const std::map<std::string, std::string>& host);

// The Windows language setting (LANG) under which Wine's ANSI code page is
// `codePage`, such as ja_JP.UTF-8 for 932.
std::string LocaleForCodePage(int codePage);

// Runs try for the data file `dataFile` (its bytes; `page` its code page).
// `progress` gets a line for each step worth telling while it runs.
TryOutcome RunTry(const TryOptions& options, const std::string& dataFile, const TargetCodePage& page,
                  const std::function<void(const std::string&)>& progress);

}  // namespace uninstdat
