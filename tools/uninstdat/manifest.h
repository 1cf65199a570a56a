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

// The parts of the data file a manifest describes, or nullopt with every
// error (each naming its field and item) in `errors`.
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
