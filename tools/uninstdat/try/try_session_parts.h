// What try_session.cpp shares with the units split from it: how a step of
// the session says why the session stops, and the listing of the paths the
// uninstaller will remove (try_listed_paths.cpp). Internal to try/.
#pragma once

#include <string>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/try/try_report.h"
#include "tools/uninstdat/try/try_session.h"
#include "tools/uninstdat/try/wine_prefix.h"

namespace uninstdat {

// Why the session stopped: the failure and its message.
struct Stop {
  TryOutcome::Failure failure = TryOutcome::kNone;
  std::string message;
  explicit operator bool() const { return failure != TryOutcome::kNone; }
};
inline Stop Failed(TryOutcome::Failure failure, const std::string& message) { return {failure, message}; }

// The paths the uninstaller will list on one family's prefix, by its own
// resolver on the prefix's folders (`view`), for the deferred paths and the
// entries that match nothing staged: `listed` gets them in the data file's
// code page, one a line ending in CR LF; `run` gets each listed entry with
// its path on disk, what each entry, shortcut and registry item takes, and
// the program group's folder. Fails, as unusable, when the install folder or
// the prefix's user name has characters that the code page cannot carry.
Stop ListUninstallerPaths(const WineView& view, const TargetCodePage& page, const std::string& dataFile, TryRun* run,
                          std::string* listed);

}  // namespace uninstdat
