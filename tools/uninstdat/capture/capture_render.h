// capture's report for people and for programs: a block of text, or one
// JSON record a line (one per item, then the summary), each rendering the
// same CaptureReport.
#pragma once

#include <string>

#include "tools/uninstdat/capture/capture_report.h"
#include "tools/uninstdat/json.h"

namespace uninstdat {

// {"record": "captured"|"left-out"|"note", "kind": "file"|"folder"|"link"|
// "key"|"value", "path" (a file's) or "key" (and "value", "type"),
// "stage", "reason", "why", "old", "now", "linesAdded", "linesRemoved"},
// members without content left out.
Json CaptureRecordJson(const CaptureRecord& record);

// {"record": "installer"}, the item records, {"record": "install-folder"},
// {"record": "shortcuts"}, {"record": "restart"} when there was one,
// {"record": "timeout"} when the installer waited, {"record": "outlived"}
// per process, {"record": "cap"}, {"record": "error"} per reason, and last
// {"record": "summary", ..., "exit"}; one a line.
std::string CaptureReportJsonLines(const CaptureReport& report, int exit);

// The report as text for people, ending in its result and `exit`.
std::string CaptureReportText(const CaptureReport& report, int exit);

}  // namespace uninstdat
