// What try_session.cpp shares with the units split from it: the listing of
// the paths the uninstaller will list (try_listed_paths.cpp), and what the
// end of the Wine side means for a run. Internal to try/.
#pragma once

#include <string>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/result.h"
#include "tools/uninstdat/system/process.h"
#include "tools/uninstdat/try/try_report.h"
#include "tools/uninstdat/try/try_session.h"
#include "tools/uninstdat/try/wine_prefix.h"

namespace uninstdat {

// The paths the uninstaller will list on one family's prefix, by its own
// resolver on the prefix's folders (`view`), for the deferred paths and the
// entries that match nothing staged: `listed` gets them in the data file's
// code page, one a line ending in CR LF; `run` gets each listed entry with
// its path on disk, what each entry, shortcut and registry item takes, and
// the program group's folder. Fails with kBadInput when the install folder
// or the prefix's user name has characters that the code page cannot carry.
Result<void> ListUninstallerPaths(const WineView& view, const TargetCodePage& page, const std::string& dataFile,
                                  TryRun* run, std::string* listed);

// Whether a run whose Wine side ended so can be judged at all: an
// interrupt stops the session (kInterrupted, without a word); a script that
// failed before its time was up could not make the run (kBadInput, the
// reason is in its output above). One that was ended for its time is
// judged, on what it left.
Result<void> WineSideJudged(const ScriptResult& ran, bool interrupted);

// The three hives of a prefix or a snapshot folder. A hive that is not
// there, or cannot be read whole (past the input limit), fails (kBadInput):
// read as empty, it would show every key of the machine gone.
Result<void> ReadHives(const std::string& folder, RegistrySnapshot* registry);

// A snapshot the Wine side wrote (files, the three hives). What cannot be
// read of it (a listing cut short or not there, a hive as above) is said in
// `error`, an error of the run, so that such a run never counts clean.
Snapshot ReadSnapshot(const std::string& folder, std::string* error);

// Wine's own messages of each session (its standard error: WORK/*.log).
struct WineMessages {
  std::string import, run, control;
};

// What the end of the Wine side adds to the run's account once its outputs
// are read: a script ended for its time, or snapshots cut short
// (`snapshotError`), are errors of the run, so that such a run never counts
// clean, whatever the runner reported before it was ended. A program that
// crashed in a session (Wine's "wine: Unhandled ..." line) is an error of
// that session, told in Wine's words: whatever else the run shows, what a
// crash leaves (or takes) is no proof of the uninstall.
void AccountWineSideEnd(const ScriptResult& ran, const std::string& snapshotError, const WineMessages& messages,
                        TryRun* run);

}  // namespace uninstdat
