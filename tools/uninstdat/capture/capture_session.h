// `uninstdat capture`'s session: an author's installer run sealed in Wine,
// as try runs the uninstaller (the helper capture.sh beside try.sh, on the
// same pristine prefix, sandbox, display and runner), what it did read from
// outside the sandbox, and the stage written whole or not at all. It
// returns the report, or why there is none; what that means for the exit
// code is the command's.
#pragma once

#include <functional>
#include <string>

#include "engine/run_state.h"
#include "tools/uninstdat/capture/capture_report.h"
#include "tools/uninstdat/result.h"

namespace uninstdat {

struct CaptureOptions {
  std::string installer;      // the installer's file
  std::string stage;          // the stage to write: must not exist, or be an empty folder
  std::string arguments;      // appended to its command line
  uninst::OsFamilyValue family = uninst::kOsNt;  // the Windows version the installer sees
  std::string installFolder;  // a Windows path on C: of the stage's view, or empty to choose
  int timeout = 300;          // seconds the installer may take
  bool keep = false;          // keep the work folder
  CaptureLimits limits;
};

struct CaptureOutcome {
  // Done, or why not, naming the input: kUsage when an option names what
  // cannot be, kBadInput for an installer that cannot run here, a sandbox
  // that cannot be made or a run that cannot be trusted, kCannotWrite when
  // the stage cannot be written, kInterrupted (without a message).
  Result<void> result;
  bool reported = false;  // whether `report` holds what the run showed (also beside some failures)
  CaptureReport report;
  std::string keptFolder;
  double seconds = 0;
};

// Why `arguments` cannot go on a command line, or empty: a line end or NUL.
std::string ArgumentsProblem(const std::string& arguments);

// Runs capture. `progress` gets a line for each step worth telling.
CaptureOutcome RunCapture(const CaptureOptions& options, const std::function<void(const std::string&)>& progress);

// The words of a POSIX shell command line for `text` (quoted when it needs it).
std::string ShellWord(const std::string& text);

}  // namespace uninstdat
