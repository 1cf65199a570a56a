// The manifest: a data file written as JSON in the data file's own field
// names, with UTF-8 texts; and the way back from a file to a manifest.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/model.h"

namespace uninstdat {

using Json = nlohmann::ordered_json;

// Both views of the target code page: the converter, the engine's
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

// How deep a manifest's or a machine description's values may nest; a
// manifest needs 4.
constexpr int kMaxNesting = 16;

// Parses a manifest's text (a UTF-8 byte-order mark is skipped). False with
// `error` naming the line and column of a syntax error, of a key given twice
// in one object, or of a value nested deeper than kMaxNesting, or naming a
// number beyond the range of any field (1e400). Never throws.
bool ParseManifestText(const std::string& raw, Json* manifest, std::string* error);

// The number `value` when it is an integer from `least` to `most`; else
// `ok` is false.
int SmallInteger(const Json& value, int least, int most, bool* ok);

// The manifest's code page when it names a Windows ANSI one, else 0.
int ManifestCodePage(const Json& manifest);

// The texts of the manifest's "lintAllow" (which build ignores): "CODE" or
// "CODE=TEXT" each.
std::vector<std::string> LintAllowOf(const Json& manifest);

// "is no <what>; did you mean "<name>"?", or the known names when none is
// close. Bounded in time however long `name` is.
std::string UnknownName(const std::string& name, const std::vector<std::string>& known,
                        const std::string& what);

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

// Gives, part by part to `give`, the manifest (as dump(2) lays it out,
// ended by a line end) that build turns back into `bytes`, the data file:
// the texts of the file as far as it is well formed. Memory does not grow
// with the file's lists. Stops when `give` returns false, and then returns
// false.
bool WriteShownManifest(const std::string& bytes, const TargetCodePage& target,
                        const std::function<bool(std::string_view)>& give);

// The manifest that ModelFromManifest turns back into the same parts.
Json ManifestFromModel(const DataFileModel& model, const TargetCodePage& target);

// A removal entry's alternates as the uninstaller reads them.
struct Alternates {
  std::string defaultPath, nt, win98, win95;
};
// "default;nt;win98;win95", shortened where the later alternates are empty.
std::string ComposeEntry(const Alternates& alternates);

}  // namespace uninstdat
