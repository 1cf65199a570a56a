// `uninstdat try`: the real uninst.exe in a throwaway Wine prefix on a staged
// installation, and the two lists that prove an uninstall: what was staged
// and is still there, and what went though nobody staged it (the safety
// report, which must be empty). The Wine side is tools/wine/try.sh, which
// shares the end-to-end tests' prefix, layout and box-answering code.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/manifest.h"

namespace uninstdat {

struct TryOptions {
  std::string stage;
  std::string installFolder;  // Windows path on C:
  std::string family = "nt";  // nt, 98 or 95
  bool restart = false;       // the answer to the restart question
  std::string also;           // a tree of the machine's own files, not staged
  std::string uninstaller;    // uninst.exe to run; empty: the build's
  std::string script;         // try.sh
  std::string work;           // an empty folder for the prefix and snapshots
  bool allUsers = false;      // the data file's word
};

struct TryReport {
  std::vector<std::string> boxes;     // "caption | text | answer"
  std::vector<Json> left;             // staged and still there
  std::vector<Json> removedUnstaged;  // gone though not staged
  std::string runError;               // what the runner reported, if it failed
};

// Runs the script with `dataFile` and compares its snapshots. Returns the
// exit code: 0 nothing staged is left and nothing unstaged went, 1 otherwise,
// 3 when Wine cannot run here (`error` says why).
int Try(const TryOptions& options, const std::string& dataFile, int codePage, TryReport* report,
        std::string* error);

// The keys and values of a Wine registry file (system.reg or user.reg) as
// "KEY" and "KEY;value" ("@" for the default value), ROOT\... with `root`
// first, the names decoded to UTF-8.
std::vector<std::string> ReadWineHive(const std::string& bytes, const std::string& root);

}  // namespace uninstdat
