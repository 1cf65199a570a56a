// The manifest: a data file written as JSON in the data file's own field
// names, with UTF-8 texts; and the way back from a file to a manifest.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "engine/text.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/model.h"

namespace uninstdat {

using Json = nlohmann::ordered_json;

// Both views of the target code page: iconv for conversion, the engine's
// lead-byte table for separator searches.
struct TargetCodePage {
  explicit TargetCodePage(int number);
  CodePageConverter converter;
  uninst::CodePage codePage;
};

// The Windows ANSI code pages a data file can be written in, and their list
// as people read it.
bool IsWindowsAnsiCodePage(int number);
extern const char kWindowsAnsiCodePages[];

// Whether `raw` is a manifest rather than a data file: text without NUL
// bytes that begins, after an optional UTF-8 byte-order mark and blanks,
// with "{". A data file begins with its 4-byte word and holds NULs.
bool LooksLikeManifest(const std::string& raw);

// Parses a manifest's text (a UTF-8 byte-order mark is skipped). False with
// `error` naming the line and column of a syntax error or of a key given
// twice in one object.
bool ParseManifestText(const std::string& raw, Json* manifest, std::string* error);

// The names a manifest may use, for the schema test and for suggestions.
struct ManifestVocabulary {
  std::vector<std::string> fields, alternates, registryEntry, trailing;
};
const ManifestVocabulary& Vocabulary();

// The parts of the data file a manifest describes, or nullopt with every
// error (each naming its field and item) in `errors`. Besides the texts'
// conversion it checks types, names (an unknown one is answered with the
// name it probably meant) and the code page.
std::optional<DataFileModel> ModelFromManifest(const Json& manifest, const TargetCodePage& target,
                                               std::vector<std::string>* errors);

// The manifest that ModelFromManifest turns back into the same parts.
Json ManifestFromModel(const DataFileModel& model, const TargetCodePage& target);

// A removal entry's alternates as the uninstaller reads them.
struct Alternates {
  std::string defaultPath, nt, win98, win95;
};
// "default;nt;win98;win95", shortened where the later alternates are empty.
std::string ComposeEntry(const Alternates& alternates);

}  // namespace uninstdat
