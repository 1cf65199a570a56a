// try's report for people and for programs: the text of each family's
// report, its JSON records, and JUnit XML for CI systems. Each renders the
// same FamilyReport.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/json.h"
#include "tools/uninstdat/try/try_report.h"

namespace uninstdat {

// {"record": "box"|"error"|"left"|"uninstaller-left"|"left-empty"|
// "unmatched"|"restart"|"removed-unstaged", ..., "family"}.
Json TryRecordJson(const TryRecord& record, uninst::OsFamilyValue family);
// {"record": "summary", "left", ..., "exit", "family"}, `exit` being the
// exit code the command gives this family's result.
Json TrySummaryJson(const FamilyReport& report, int exit);
// Every record of the report, then its summary, one JSON object a line.
std::string TryReportJsonLines(const FamilyReport& report, int exit);

// The report of one family as a block of text for people, ending in its
// result and the exit code `exit` the command gives it.
std::string TryReportText(const FamilyReport& report, int exit);

// The reports as JUnit XML: one test case per family, one failure per
// finding (informational records are no failures).
std::string JUnitXml(const std::vector<FamilyReport>& reports);

}  // namespace uninstdat
