// `uninstdat try`: the real uninst.exe on a staged installation, in a
// sealed Wine sandbox on a throwaway copy of a pristine prefix, and the
// report that proves the uninstall (try_report.h). This unit checks every
// input before any Wine work, lays the stage out (wine_prefix.h), runs the
// Wine side (the helper try.sh beside the tool, which shares the end-to-end
// tests' sandbox, prefix and box-answering runner), bounds every wait, and
// removes its work folder however it ends.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/manifest.h"

namespace uninstdat {

struct TryOptions {
  std::string stage;
  std::string installFolder;          // a Windows path on C:, UTF-8, as the stage sees it
  std::vector<std::string> families;  // nt, 98, 95 (lower case), each once
  bool restart = false;               // the answer to the restart question
  std::string also;                   // a tree of the machine's own files, not staged
  std::string uninstaller;            // uninst.exe to run; empty: beside the tool, else the build's
  std::string hold;                   // a staged file held open until the restart question
  std::string junit;                  // where to write the report as JUnit XML
  bool json = false;
  bool keep = false;
  int timeout = 120;                  // seconds for each wait
};

// Why `folder` cannot be the install folder, or empty: it must be an
// absolute folder below C:\ without empty, "." or ".." components and
// with names Windows can carry.
std::string InstallFolderProblem(const std::string& folder);

// The Windows language setting (LANG) under which Wine's ANSI code page is
// `codePage`, such as ja_JP.UTF-8 for 932.
std::string LocaleForCodePage(int codePage);

// Runs try for the data file `dataFile` (its bytes; `page` its code page)
// and prints the report on standard output (JSON records with
// options.json), progress on standard error. Returns the exit code: 0
// clean on every family, 1 something to mend (or a wait that timed out),
// 2 usage, 3 an input that cannot be used or Wine or the sandbox cannot
// run here (said on standard error), 4 the JUnit file cannot be written,
// 130 when interrupted.
int RunTry(const TryOptions& options, const std::string& dataFile, const TargetCodePage& page);

}  // namespace uninstdat
