// What the builder of a capture's report (capture_report.cpp) shares with
// the units split from it: how a record names an item and shows a change
// (capture_items.cpp), and the reading of the runs' accounts
// (capture_accounts.cpp). Internal to capture/.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/capture/capture_report.h"

namespace uninstdat {

// Whether `path` is `folder` or lies below it, separated by `separator`,
// in any ASCII case.
bool AtOrBelow(const std::string& path, const std::string& folder, char separator);

// The last name of a path with "/" between names.
std::string BaseName(const std::string& path);

// The name of a record's kind of item: "file", "folder", "link", "key", "value".
const char* ItemName(CaptureRecord::Item item);

// The kind of item of a snapshot's type: 'd' a folder, 'f' a file, else a link.
CaptureRecord::Item ItemOf(char type);

// The lines of `now` that `old` lacks and the other way round, each line
// matched once, in order; at most `limit` of each.
void LineDifference(const std::string& old, const std::string& now, std::vector<std::string>* added,
                    std::vector<std::string>* removed, size_t limit = 10);

// A value's data as a .reg file writes it, on one line, at most 200
// characters and "..." after them.
std::string ValueData(const RegistryValue& value);

// Reads the run's account (runner.cpp, --watch; session.sh capture) and the
// control run's into `report`: the installer's exit code, a restart asked
// for, the windows and processes at a timeout, the script's cap, and the
// fatal errors for anything that makes the snapshots untrustworthy.
void ReadCaptureAccounts(const CaptureFacts& facts, CaptureReport* report);

}  // namespace uninstdat
