// `uninstdat lint`: every quiet fault of a data file or manifest, as text,
// JSON lines or a SARIF log; with --strict, exit 1 when one is to be mended.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/commands/input.h"
#include "tools/uninstdat/commands/options.h"
#include "tools/uninstdat/families.h"
#include "tools/uninstdat/lint/lint.h"
#include "tools/uninstdat/lint/lint_render.h"
#include "tools/uninstdat/lint/lint_sarif.h"

#ifndef UNINSTDAT_VERSION
#define UNINSTDAT_VERSION "unknown"
#endif

namespace uninstdat {
namespace lint_command {

// The defaults, each printed by its option's help.
constexpr const char* kDefaultFormat = "text";
constexpr size_t kDefaultMaxPerCode = 20;
const std::vector<uninst::OsFamilyValue> kDefaultFamilies = {uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt};

class LintFile : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* lint = app.add_subcommand("lint", "List every quiet fault of a data file or manifest.");
    file_.AddFile(lint);
    lint->add_flag("--strict", strict_, "exit 1 when there is a finding to mend (not a note, not allowed)");
    lint->add_option("--format", format_,
                     std::string(kDefaultFormat) +
                         " (default), json (one JSON record per line for each finding) or sarif (a SARIF 2.1.0 "
                         "log: a rule per code, a result per finding at its line in a manifest)")
        ->check(CLI::IsMember({"text", "json", "sarif"}));
    AddJson(lint, &json_, "the same as --format json");
    AddCount(lint, "--max-per-code", &maxPerCode_,
             "findings listed per code, the rest counted (0: all; default " + std::to_string(kDefaultMaxPerCode) + ")");
    AddAllow(lint, &allow_, "acknowledge a finding: CODE, or CODE=TEXT for the entry whose text is TEXT; repeatable");
    file_.AddMachine(lint, FamilyNameList(kDefaultFamilies).c_str());
    return lint;
  }

  Result<void> CheckUsage() override {
    if (json_ && !format_.empty() && format_ != "json")
      return Failure{Exit::kUsage, "lint: --json is --format json and cannot go with --format " + format_ +
                                       "; give one of them"};
    return {};
  }

  Result<Exit> Run() override {
    std::string format = !format_.empty() ? format_ : json_ ? "json" : kDefaultFormat;
    Result<Input> input = file_.Load(format == "sarif");
    if (!input) return input.failure();
    Result<std::vector<AllowRule>> rules = AllowRules(allow_, *input);
    if (!rules) return rules.failure();
    Result<std::vector<Target>> targets = MakeTargetsFrom(file_.machine, kDefaultFamilies, *input->page);
    if (!targets) return targets.failure();
    Findings findings(maxPerCode_, std::move(*rules));
    Lint(input->bytes, input->problems, *input->page, *targets, &findings);
    if (format == "sarif")
      WriteFindingsSarif(findings, {ArtifactUri(file_.path), input->positions.get()}, UNINSTDAT_VERSION, std::cout);
    else
      std::cout << (format == "json" ? FindingsJsonLines(findings) : FindingsText(findings));
    return strict_ && findings.toMend() ? Exit::kFindings : Exit::kDone;
  }

 private:
  AnalysisOptions file_;
  bool strict_ = false, json_ = false;
  std::string format_;  // empty: not given
  size_t maxPerCode_ = kDefaultMaxPerCode;
  std::vector<std::string> allow_;
};

}  // namespace lint_command

std::unique_ptr<Command> LintCommand() { return std::make_unique<lint_command::LintFile>(); }

}  // namespace uninstdat
