// The inputs the commands share; see input.h.
#include "tools/uninstdat/commands/input.h"

#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/manifest_reader.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/system/io.h"

namespace uninstdat {

// A given --codepage was checked before the command ran (RunParsed).
std::optional<Exit> AnalysisOptions::Load(Input* input, bool positions) const {
  return LoadInput(path, codePage, input, positions);
}

namespace {

std::optional<Exit> LoadManifest(const std::string& path, const std::string& raw, int codePageOption, Input* input,
                                 bool positions) {
  input->manifest = true;
  Json manifest;
  std::string error;
  if (!ParseManifestText(raw, &manifest, &error)) return Fail(Exit::kBadInput, path + ": " + error);
  int number = codePageOption ? codePageOption : ManifestCodePage(manifest);
  input->page.reset(new TargetCodePage(number ? number : kDefaultCodePage));
  std::vector<std::string> errors;
  auto model = ModelFromManifest(manifest, *input->page, &errors);
  if (!model) {
    for (const std::string& e : errors) Say(path + ": " + e);
    return Exit::kBadInput;
  }
  input->lintAllow = LintAllowOf(manifest);
  if (positions) input->positions.reset(new ManifestPositions(ManifestPositions::Of(raw)));
  input->bytes = Encode(*model);
  return std::nullopt;
}

}  // namespace

std::optional<Exit> LoadInput(const std::string& path, int codePageOption, Input* input, bool positions) {
  auto read = ReadInput(path);
  if (!read) return Fail(read.failure());
  std::string& raw = *read;
  if (LooksLikeManifest(raw)) return LoadManifest(path, raw, codePageOption, input, positions);
  input->page.reset(new TargetCodePage(codePageOption ? codePageOption : kDefaultCodePage));
  input->bytes = std::move(raw);
  input->problems = LayoutProblems(input->bytes);
  // A data file does not say its code page: when the assumed one reads it
  // badly and a double-byte one well, say so, but change nothing.
  if (!codePageOption)
    if (int likely = LikelierDoubleByteCodePage(input->bytes, kDefaultCodePage))
      Say("note: " + path + " reads badly in code page " + std::to_string(kDefaultCodePage) +
          ", which is assumed without --codepage, " +
          "and well in code page " + std::to_string(likely) + "; if it was written for " + std::to_string(likely) +
          ", run again with --codepage " + std::to_string(likely));
  return std::nullopt;
}

std::optional<Exit> LoadMachine(const std::string& path, Json* machine) {
  auto raw = ReadInput(path);
  if (!raw) return Fail(raw.failure());
  std::string error;
  if (!ParseManifestText(*raw, machine, &error)) return Fail(Exit::kBadInput, path + ": " + error);
  return std::nullopt;
}

std::optional<Exit> MakeTargetsFrom(const MachineOptions& options, const std::vector<uninst::OsFamilyValue>& defaults,
                                    const TargetCodePage& page, std::vector<Target>* targets) {
  std::vector<OsFamilyValue> families;
  if (auto e = ParseFamilies(options.families, {uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt, uninst::kOsUnknown},
                             defaults, &families))
    return e;
  Json machine;
  if (!options.machinePath.empty())
    if (auto e = LoadMachine(options.machinePath, &machine)) return e;
  std::string error;
  if (!MakeTargets(families, options.machinePath.empty() ? nullptr : &machine, options.exeFolder, page, targets, &error))
    return Fail(Exit::kBadInput, error);
  return std::nullopt;
}

std::optional<Exit> AllowRules(const std::vector<std::string>& options, const Input& input,
                               std::vector<AllowRule>* rules) {
  for (const std::string& text : options) {
    AllowRule rule;
    std::string error;
    if (!ParseAllowRule(text, *input.page, &rule, &error)) return Fail(Exit::kUsage, "--allow " + text + ": " + error);
    rule.by = "--allow " + text;
    rules->push_back(rule);
  }
  for (size_t i = 0; i < input.lintAllow.size(); ++i) {
    AllowRule rule;
    std::string error;
    if (!ParseAllowRule(input.lintAllow[i], *input.page, &rule, &error))
      return Fail(Exit::kBadInput, "lintAllow[" + std::to_string(i) + "]: " + error);
    rule.by = "lintAllow[" + std::to_string(i) + "] \"" + input.lintAllow[i] + "\"";
    rules->push_back(rule);
  }
  return std::nullopt;
}

}  // namespace uninstdat
