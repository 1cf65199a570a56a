// What try_session.cpp shares with the units split from it: the listing of
// the paths the uninstaller will list (try_listed_paths.cpp). Internal to
// try/.
#pragma once

#include <string>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/result.h"
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

}  // namespace uninstdat
