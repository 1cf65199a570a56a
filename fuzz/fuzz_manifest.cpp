// Fuzz target: the manifest reader. Any text is either read into a data
// file's parts or refused with errors that say why; nothing throws, nothing
// recurses with the input's nesting, and every allow rule it names reads.
// Of a text that parses, every top-level key and every item of a top-level
// list has its position, and no item past a list's end has one.
#include <string>

#include "tools/uninstdat/lint/findings.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/manifest_positions.h"
#include "tools/uninstdat/manifest_reader.h"

using namespace uninstdat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TargetCodePage kLatin(1252), kJapanese(932);
  std::string raw(reinterpret_cast<const char*>(data), size);
  Result<Json> parsed = ParseManifestText(raw);
  if (!parsed) {
    if (parsed.failure().message.empty()) __builtin_trap();  // refused without a word
    return 0;
  }
  const Json& manifest = *parsed;
  if (manifest.is_object()) {
    ManifestPositions positions = ManifestPositions::Of(raw);
    for (const auto& member : manifest.items()) {
      if (!positions.Key(member.key())) __builtin_trap();
      if (!member.value().is_array()) continue;
      size_t items = member.value().size();
      if ((items && !positions.Item(member.key(), items - 1)) || positions.Item(member.key(), items)) __builtin_trap();
    }
  }
  const TargetCodePage& page = ManifestCodePage(manifest) == 932 ? kJapanese : kLatin;
  Result<DataFileModel> model = ModelFromManifest(manifest, page);
  if (!model) {
    for (const std::string& line : Lines(model.failure()))
      if (line.empty()) __builtin_trap();  // an error without a word
    return 0;
  }
  // The bytes build writes hold the thirteen texts.
  if (SplitTexts(Encode(*model)).found != 13) __builtin_trap();
  for (const std::string& text : LintAllowOf(manifest))
    if (Result<AllowRule> rule = ParseAllowRule(text, page); !rule && rule.failure().message.empty()) __builtin_trap();
  return 0;
}
