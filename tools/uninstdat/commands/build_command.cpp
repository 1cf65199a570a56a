// `uninstdat build`: writes a data file from a manifest, so that a failed
// write leaves the old file as it was; with --strict, only when lint finds
// nothing to mend.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/commands/input.h"
#include "tools/uninstdat/commands/options.h"
#include "tools/uninstdat/lint/lint.h"
#include "tools/uninstdat/lint/lint_render.h"
#include "tools/uninstdat/system/io.h"

namespace uninstdat {
namespace build_command {

class Build : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* build = app.add_subcommand("build", "Write a data file from a JSON manifest.");
    build->add_option("MANIFEST", manifestPath_, "the manifest (- for standard input)")->required();
    build->add_option("-o,--output", output_, "the data file to write (- for standard output)")->required();
    AddCodePage(build, &codePage_,
                "target ANSI code page (default: the manifest's, else " + std::to_string(kDefaultCodePage) + ")");
    build->add_flag("--strict", strict_, "lint first, and write nothing when there is a finding to mend");
    AddAllow(build, &allow_, "with --strict: acknowledge a finding, CODE or CODE=TEXT (the entry's text); repeatable");
    return build;
  }

  Result<Exit> Run() override {
    if (SameFile(manifestPath_, output_))
      return Failure{Exit::kUsage, "refusing to write the data file over its own manifest " + manifestPath_};
    Result<Input> input = LoadInput(manifestPath_, codePage_);
    if (!input) return input.failure();
    if (!input->manifest)
      return Failure{Exit::kBadInput, manifestPath_ + " is no manifest (JSON text that begins with {)"};
    Result<std::vector<AllowRule>> rules = AllowRules(allow_, *input);
    if (!rules) return rules.failure();
    if (strict_)
      if (Result<void> clean = LintFirst(*input, std::move(*rules)); !clean) return clean.failure();
    if (Result<void> written = WriteOutput(output_, input->bytes); !written) return written.failure();
    return Exit::kDone;
  }

 private:
  // A kFindings Failure, after listing them, when lint finds something to
  // mend.
  Result<void> LintFirst(const Input& input, std::vector<AllowRule> rules) {
    Result<std::vector<Target>> targets =
        MakeTargets({uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt}, nullptr, "", *input.page);
    if (!targets) return targets.failure();
    Findings findings(20, std::move(rules));
    Lint(input.bytes, {}, *input.page, *targets, &findings);
    if (!findings.toMend()) return {};
    std::cout << FindingsText(findings);
    return Failure{Exit::kFindings,
                   "--strict: " + std::to_string(findings.toMend()) + " findings to mend; no file written"};
  }

  std::string manifestPath_, output_;
  int codePage_ = 0;
  bool strict_ = false;
  std::vector<std::string> allow_;
};

}  // namespace build_command

std::unique_ptr<Command> BuildCommand() { return std::make_unique<build_command::Build>(); }

}  // namespace uninstdat
