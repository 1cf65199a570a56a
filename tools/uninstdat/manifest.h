// The manifest: a data file written as JSON in the data file's own field
// names (engine/data_file_layout.h), with UTF-8 texts, read into the data
// file's parts. The way back is shown_manifest.h.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/json.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/result.h"

namespace uninstdat {

// The number `value` when it is an integer from `least` to `most`; else
// `ok` is false.
int SmallInteger(const Json& value, int least, int most, bool* ok);

// The manifest's code page when it names a Windows ANSI one, else 0.
int ManifestCodePage(const Json& manifest);

// The texts of the manifest's "lintAllow" (which build ignores): "CODE" or
// "CODE=TEXT" each.
std::vector<std::string> LintAllowOf(const Json& manifest);

// The names a manifest may use, for the schema test and for suggestions.
struct ManifestVocabulary {
  std::vector<std::string> fields, alternates, registryEntry, trailing;
};
const ManifestVocabulary& Vocabulary();

// The parts of the data file a manifest describes, or a kBadInput Failure
// that holds every error, each naming its field and item, in the order of
// the fields (the last is the message, the others come before it). Besides
// the texts' conversion it checks types, names (an unknown one is answered
// with the name it probably meant) and the code page.
Result<DataFileModel> ModelFromManifest(const Json& manifest, const TargetCodePage& target);

// A removal entry's alternates as the uninstaller reads them.
struct Alternates {
  std::string defaultPath, nt, win98, win95;
};
// "default;nt;win98;win95", shortened where the later alternates are empty.
std::string ComposeEntry(const Alternates& alternates);

}  // namespace uninstdat
