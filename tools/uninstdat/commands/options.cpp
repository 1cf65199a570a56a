// What the commands share; see options.h.
#include "tools/uninstdat/commands/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>

#include "tools/uninstdat/families.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/manifest_reader.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/system/io.h"

namespace uninstdat {

Exit Fail(Exit code, const std::string& message) {
  Say(message);
  return code;
}

void Say(const std::string& message) { std::cerr << "uninstdat: " << message << "\n"; }

void AddCodePage(CLI::App* command, int* codePage, const std::string& description) {
  command->add_option("--codepage", *codePage, description);
}

std::optional<Exit> CheckCodePage(int codePage) {
  if (codePage && !IsWindowsAnsiCodePage(codePage))
    return Fail(Exit::kUsage, "--codepage " + std::to_string(codePage) + " is no Windows ANSI code page; use one of " +
                                  kWindowsAnsiCodePages);
  return std::nullopt;
}

void AddFamilies(CLI::App* command, std::vector<std::string>* families, const std::string& description) {
  command->add_option("--family", *families, description)->delimiter(',')->allow_extra_args(false)->type_name("F[,F...]");
}

std::optional<Exit> ParseFamilies(const std::vector<std::string>& names,
                                  const std::vector<uninst::OsFamilyValue>& allowed,
                                  const std::vector<uninst::OsFamilyValue>& defaults,
                                  std::vector<uninst::OsFamilyValue>* families) {
  for (const std::string& given : names) {
    std::optional<OsFamilyValue> family = FamilyOfName(given);
    if (!family || std::find(allowed.begin(), allowed.end(), *family) == allowed.end()) {
      std::string use;
      for (size_t i = 0; i < allowed.size(); ++i)
        use += (i == 0 ? "" : i + 1 == allowed.size() ? " or " : ", ") + std::string(FamilyName(allowed[i]));
      return Fail(Exit::kUsage, "--family " + LowerAscii(given) + ": use " + use);
    }
    if (std::find(families->begin(), families->end(), *family) == families->end()) families->push_back(*family);
  }
  if (families->empty()) *families = defaults;
  return std::nullopt;
}

void AddMachine(CLI::App* command, std::string* machinePath, const std::string& description, std::string* exeFolder) {
  command->add_option("--machine", *machinePath, description);
  if (exeFolder)
    command->add_option("--exe-folder", *exeFolder,
                        "the uninstaller's folder (default: the machine's ProgramFilesDir\\Application)");
}

void MachineOptions::Add(CLI::App* command, const char* defaultFamilies) {
  AddFamilies(command, &families,
              std::string("Windows family: 95, 98, nt or unknown; several separated by commas (default: ") +
                  defaultFamilies + ")");
  AddMachine(command, &machinePath,
             "JSON file of the machine's folders (windowsDir, systemDir, tempDir, programFilesDir, "
             "commonFilesDir, profileDir, shellFolders)",
             &exeFolder);
}

void AnalysisOptions::AddFile(CLI::App* command) {
  command->add_option("FILE", path, "a data file or a manifest (- for standard input)")->required();
}

void AnalysisOptions::AddMachine(CLI::App* command, const char* defaultFamilies) {
  AddCodePage(command, &codePage, "the ANSI code page");
  machine.Add(command, defaultFamilies);
}

std::optional<Exit> AnalysisOptions::Load(Input* input, bool positions) const {
  if (auto e = CheckCodePage(codePage)) return e;
  return LoadInput(path, codePage, input, positions);
}

void AddJson(CLI::App* command, bool* json, const std::string& description) {
  command->add_flag("--json", *json, description);
}

CLI::Option* AddCount(CLI::App* command, const std::string& name, size_t* count, const std::string& description) {
  static const CLI::Validator kCount(
      [](std::string& text) {
        return text.find_first_not_of("0123456789") == std::string::npos && !text.empty()
                   ? std::string()
                   : "must be 0 or a larger whole number, not " + text;
      },
      "N");
  return command->add_option(name, *count, description)->check(kCount);
}

void AddAllow(CLI::App* command, std::vector<std::string>* allow, const std::string& description) {
  command->add_option("--allow", *allow, description)->allow_extra_args(false)->type_name("CODE[=TEXT]");
}

namespace {

std::optional<Exit> LoadManifest(const std::string& path, const std::string& raw, int codePageOption, Input* input,
                                 bool positions) {
  input->manifest = true;
  Json manifest;
  std::string error;
  if (!ParseManifestText(raw, &manifest, &error)) return Fail(Exit::kBadInput, path + ": " + error);
  int number = codePageOption ? codePageOption : ManifestCodePage(manifest);
  input->page.reset(new TargetCodePage(number ? number : 1252));
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
  std::string raw, error;
  if (!ReadInput(path, &raw, &error)) return Fail(Exit::kBadInput, error);
  if (LooksLikeManifest(raw)) return LoadManifest(path, raw, codePageOption, input, positions);
  input->page.reset(new TargetCodePage(codePageOption ? codePageOption : 1252));
  input->bytes = std::move(raw);
  input->problems = LayoutProblems(input->bytes);
  // A data file does not say its code page: when the assumed one reads it
  // badly and a double-byte one well, say so, but change nothing.
  if (!codePageOption)
    if (int likely = LikelierDoubleByteCodePage(input->bytes, 1252))
      Say("note: " + path + " reads badly in code page 1252, which is assumed without --codepage, " +
          "and well in code page " + std::to_string(likely) + "; if it was written for " + std::to_string(likely) +
          ", run again with --codepage " + std::to_string(likely));
  return std::nullopt;
}

std::optional<Exit> LoadMachine(const std::string& path, Json* machine) {
  std::string raw, error;
  if (!ReadInput(path, &raw, &error)) return Fail(Exit::kBadInput, error);
  if (!ParseManifestText(raw, machine, &error)) return Fail(Exit::kBadInput, path + ": " + error);
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
