// The inputs the commands share; see input.h.
#include "tools/uninstdat/commands/input.h"

#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/manifest_reader.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/system/io.h"

namespace uninstdat {

// A given --codepage was checked before the command ran (RunParsed).
Result<Input> AnalysisOptions::Load(bool positions) const { return LoadInput(path, codePage, positions); }

namespace {

Result<Input> LoadManifest(const std::string& path, const std::string& raw, int codePageOption, bool positions) {
  Input input;
  input.manifest = true;
  Result<Json> manifest = ParseManifestText(raw);
  if (!manifest) return At(path, manifest.failure());
  int number = codePageOption ? codePageOption : ManifestCodePage(*manifest);
  input.page.reset(new TargetCodePage(number ? number : kDefaultCodePage));
  Result<DataFileModel> model = ModelFromManifest(*manifest, *input.page);
  if (!model) return At(path, model.failure());
  input.lintAllow = LintAllowOf(*manifest);
  if (positions) input.positions.reset(new ManifestPositions(ManifestPositions::Of(raw)));
  input.bytes = Encode(*model);
  return input;
}

}  // namespace

Result<Input> LoadInput(const std::string& path, int codePageOption, bool positions) {
  Result<std::string> read = ReadInput(path);
  if (!read) return read.failure();
  std::string& raw = *read;
  if (LooksLikeManifest(raw)) return LoadManifest(path, raw, codePageOption, positions);
  Input input;
  input.page.reset(new TargetCodePage(codePageOption ? codePageOption : kDefaultCodePage));
  input.bytes = std::move(raw);
  input.problems = LayoutProblems(input.bytes);
  // A data file does not say its code page: when the assumed one reads it
  // badly and a double-byte one well, say so, but change nothing.
  if (!codePageOption)
    if (int likely = LikelierDoubleByteCodePage(input.bytes, kDefaultCodePage))
      Say("note: " + path + " reads badly in code page " + std::to_string(kDefaultCodePage) +
          ", which is assumed without --codepage, " +
          "and well in code page " + std::to_string(likely) + "; if it was written for " + std::to_string(likely) +
          ", run again with --codepage " + std::to_string(likely));
  return input;
}

Result<Json> LoadMachine(const std::string& path) {
  Result<std::string> raw = ReadInput(path);
  if (!raw) return raw.failure();
  Result<Json> machine = ParseManifestText(*raw);
  if (!machine) return At(path, machine.failure());
  return machine;
}

Result<std::vector<Target>> MakeTargetsFrom(const MachineOptions& options,
                                            const std::vector<uninst::OsFamilyValue>& defaults,
                                            const TargetCodePage& page) {
  Result<std::vector<OsFamilyValue>> families = ParseFamilies(
      options.families, {uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt, uninst::kOsUnknown}, defaults);
  if (!families) return families.failure();
  if (options.machinePath.empty()) return MakeTargets(*families, nullptr, options.exeFolder, page);
  Result<Json> machine = LoadMachine(options.machinePath);
  if (!machine) return machine.failure();
  return MakeTargets(*families, &*machine, options.exeFolder, page);
}

Result<std::vector<AllowRule>> AllowRules(const std::vector<std::string>& options, const Input& input) {
  std::vector<AllowRule> rules;
  for (const std::string& text : options) {
    Result<AllowRule> rule = ParseAllowRule(text, *input.page);
    if (!rule) return Failure{Exit::kUsage, "--allow " + text + ": " + rule.failure().message};
    rule->by = "--allow " + text;
    rules.push_back(*rule);
  }
  for (size_t i = 0; i < input.lintAllow.size(); ++i) {
    Result<AllowRule> rule = ParseAllowRule(input.lintAllow[i], *input.page);
    if (!rule) return Failure{Exit::kBadInput, "lintAllow[" + std::to_string(i) + "]: " + rule.failure().message};
    rule->by = "lintAllow[" + std::to_string(i) + "] \"" + input.lintAllow[i] + "\"";
    rules.push_back(*rule);
  }
  return rules;
}

}  // namespace uninstdat
