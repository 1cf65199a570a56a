// Lint's findings for people and for programs: the text lines and the JSON
// records of one collection of findings. Each is a rendering of the same
// Finding and Omitted records.
#pragma once

#include <string>

#include "tools/uninstdat/lint/findings.h"
#include "tools/uninstdat/json.h"

namespace uninstdat {

// {"code", "where", "text" (for a finding with an entry), "what", "mend",
// "severity": "warning"|"note", "allowed"}.
Json FindingJson(const Finding& finding);
// {"code", "omitted", "allowed"}.
Json OmittedJson(const Findings::Omitted& omitted);

// `[allowed  |note  ]CODE  WHERE ["TEXT"]: WHAT. Mend: MEND.`
std::string FindingLine(const Finding& finding);
// `[allowed  ]CODE  and N more (--max-per-code 0 lists all)`
std::string OmittedLine(const Findings::Omitted& omitted);

// Every finding kept and every count of those omitted, a line each, and the
// last line that counts them (or says there are none).
std::string FindingsText(const Findings& findings);
// The same as one JSON record per line, without a count.
std::string FindingsJsonLines(const Findings& findings);

}  // namespace uninstdat
