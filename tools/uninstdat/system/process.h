// Processes, signals, temporary folders, locales and the environment: the
// few services of the operating system that try and the command line need,
// behind plain functions (process_posix.cpp on Linux, process_win.cpp on
// Windows, where Wine and so try do not exist).
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/result.h"

namespace uninstdat {

// Whether Wine can be run from here; where it cannot (on Windows), fails
// with kUsage and the reason.
Result<void> WineUsableHere();

// From now on SIGINT, SIGTERM and SIGHUP are noted, not fatal: Interrupted()
// tells whether one came, and a running script is ended.
void CatchInterrupts();
bool Interrupted();

// A file-size limit makes a write fail instead of ending the process halfway.
void IgnoreFileSizeLimitSignal();

struct ScriptResult {
  int code = -1;  // the exit code, 128 + the signal, or -1 when it could not start
  bool timedOut = false;
  std::string output;  // its standard output, when captured
};
// Runs `args` in a process group of its own, its standard output captured
// (or passed on to standard error, where progress goes). Waits at most
// `seconds`; past that, or on an interrupt, ends the whole group (and so a
// sandbox with everything in it).
ScriptResult RunScript(const std::vector<std::string>& args, int seconds, bool capture);

// The folder of this program, from the system (never the current folder,
// whatever PATH found it by); empty when it cannot be told.
std::string OwnFolder();

// Whether `path` is a regular file that this process may read.
bool IsReadableFile(const std::string& path);

// The environment variable's value, or empty when it is unset.
std::string Environment(const char* name);

// Makes a new folder "<parent>/<prefix>XXXXXX" that nobody else has and
// gives its path; fails with kCannotWrite and the system's reason.
Result<std::string> MakeTemporaryFolder(const std::string& parent, const std::string& prefix);

// Whether the locale `name` (such as ja_JP.UTF-8) exists on this machine.
bool HasLocale(const std::string& name);

}  // namespace uninstdat
