// Lint's findings as a SARIF 2.1.0 log, the form in which code-scanning
// services show a tool's findings beside the file: a rule per lint code,
// taken from the lint table, and a result per finding kept, located in the
// manifest's text or, for a data file, by its field and item.
#pragma once

#include <ostream>
#include <string>

#include "tools/uninstdat/json.h"
#include "tools/uninstdat/lint/findings.h"
#include "tools/uninstdat/manifest_positions.h"

namespace uninstdat {

// The file the findings are about.
struct SarifArtifact {
  std::string uri;                               // ArtifactUri of the path; empty: standard input
  const ManifestPositions* positions = nullptr;  // a manifest's; null: a data file
};

// The path as given on the command line as a URI reference: backslashes
// as slashes, an absolute path (/..., X:\..., \\server\share\...) as a
// file: URI, and every byte but letters, digits and -._~/!$&'()*+,;=@
// percent-encoded (a colon too, so that no relative path reads as a
// scheme). Empty for "-".
std::string ArtifactUri(const std::string& path);

// A reportingDescriptor per lint code, in the order of the table, so that
// a code's ruleIndex is its LintCode: id the code, descriptions its
// summary and texts, help its mend, default level note or warning.
Json SarifRules();

// The location of a finding: in a manifest, the region (line and column)
// of the entry's own item; of the field's key for a finding about a whole
// text; of the "trailing" key for what follows a list's last item; of the
// manifest's "{" for a field it leaves out or the file. In a data file, the
// region of the entry's bytes (byteOffset, byteLength) when it has an
// entry. Always the field and item as a logical location
// ("removalEntries[3]"), except for the file as a whole.
Json SarifLocation(const Finding& finding, const SarifArtifact& artifact);

// One result: ruleId and ruleIndex, level "note" for a note and "warning"
// otherwise, the message (entry, what happens, mend), the location, and
// for an allowed finding an external suppression naming its allow rule.
Json SarifResult(const Finding& finding, const SarifArtifact& artifact);

// Writes the whole log to `out` as JSON indented by two: one run of the
// tool `uninstdat` at `version`, columns in Unicode code points, the counts
// (to mend, notes, allowed, and per code those beyond --max-per-code, also
// as notifications of the invocation) in the run's properties, and every
// result kept. Each result is made and written one at a time, so that
// memory beyond the findings stays that of one result however many there are.
void WriteFindingsSarif(const Findings& findings, const SarifArtifact& artifact, const std::string& version,
                        std::ostream& out);

}  // namespace uninstdat
