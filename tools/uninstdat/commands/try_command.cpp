// `uninstdat try`: the real uninst.exe on a staged installation, sealed in
// a Wine sandbox, and the report that proves the uninstall: text or JSON
// lines, and JUnit XML on request. Exit 0 clean on every family, 1 something
// to mend.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/commands/input.h"
#include "tools/uninstdat/commands/options.h"
#include "tools/uninstdat/families.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/system/io.h"
#include "tools/uninstdat/system/process.h"
#include "tools/uninstdat/try/try_render.h"
#include "tools/uninstdat/try/try_session.h"

namespace uninstdat {
namespace try_command {

// The defaults, each printed by its option's help (the wait's is
// TryOptions' own).
constexpr uninst::OsFamilyValue kDefaultFamily = uninst::kOsNt;
constexpr const char* kDefaultRestart = "no";

class TryStage : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* command = app.add_subcommand(
        "try", "Run the real uninst.exe on a staged installation in a sealed Wine sandbox and prove it clean.");
    command->add_option("FILE", input_, "a manifest or a data file")->required();
    command->add_option("--stage", options_.stage, "the staged installation (as for scan)")->required();
    command->add_option("--install-folder", options_.installFolder,
                        "where uninst.exe and the data file go, as the stage sees it (C:\\...)")
        ->required();
    AddFamilies(command, &families_,
                "nt, 98 or 95; several separated by commas, each run and reported (default " +
                    std::string(FamilyName(kDefaultFamily)) + ")");
    command->add_option("--restart", restart_,
                        "the answer to the restart question: yes or no (default " + std::string(kDefaultRestart) + ")");
    command->add_option("--also", options_.also,
                        "a tree laid out like the stage (files, shell items, registry.reg) that the machine holds "
                        "besides the product, which must stay");
    command->add_flag("--fresh", options_.fresh,
                      "no canaries: run on a machine as Wine makes it, without other products, values and users");
    command->add_option("--uninstaller", options_.uninstaller,
                        "the uninst.exe to run (default: the one beside uninstdat, else the build's)");
    command->add_option("--hold", options_.hold,
                        "a staged file (C:\\...) held open until the restart question is answered");
    command->add_option("--junit", junit_, "also write the report as JUnit XML to this file");
    command->add_option("--timeout", options_.timeout,
                        "seconds each wait may take (default " + std::to_string(TryOptions().timeout) + ")")
        ->check(CLI::Range(5, 3600));
    AddCodePage(command, &codePage_, "the ANSI code page");
    AddJson(command, &json_, "one JSON record per line");
    command->add_flag("--keep", options_.keep, "keep the work folder: the layers of the prefix and the snapshots");
    return command;
  }

  Result<Exit> Run() override {
    if (Result<void> usable = WineUsableHere(); !usable) return usable.failure();
    if (Result<void> options = Options(); !options) return options.failure();
    Result<Input> input = LoadInput(input_, codePage_);
    if (!input) return input.failure();
    TryOutcome outcome =
        RunTry(options_, input->bytes, *input->page, [](const std::string& line) { std::cerr << line << "\n"; });
    // A failure of the run is said before the work folder that stays, so
    // it is printed here rather than by the runner.
    const Result<void>& ran = outcome.result;
    Exit code = ran ? Report(outcome)
                : ran.failure().code == Exit::kInterrupted ? Exit::kInterrupted  // without a word
                                                           : Fail(ran.failure());
    if (!outcome.keptFolder.empty()) Say("the work folder stays: " + outcome.keptFolder);
    return code;
  }

 private:
  Result<void> Options() {
    std::string lower = LowerAscii(restart_);
    if (lower != "yes" && lower != "no") return Failure{Exit::kUsage, "--restart " + restart_ + ": use yes or no"};
    options_.restart = lower == "yes";
    Result<std::vector<uninst::OsFamilyValue>> families =
        ParseFamilies(families_, {uninst::kOsNt, uninst::kOsWin98, uninst::kOsWin95}, {kDefaultFamily});
    if (!families) return families.failure();
    options_.families = *families;
    std::string why = InstallFolderProblem(options_.installFolder);
    if (!why.empty()) return Failure{Exit::kUsage, why};
    return {};
  }

  // The reports, then the JUnit file.
  Exit Report(const TryOutcome& outcome) {
    Exit code = Exit::kDone;
    for (const FamilyReport& report : outcome.reports) {
      int exit = static_cast<int>(report.Clean() ? Exit::kDone : Exit::kFindings);
      if (!report.Clean()) code = Exit::kFindings;
      std::cout << (json_ ? TryReportJsonLines(report, exit) : TryReportText(report, exit));
    }
    if (json_) std::cout << Json{{"record", "end"}, {"exit", static_cast<int>(code)}}.dump() << "\n";
    std::cout.flush();
    if (!junit_.empty())
      if (auto written = WriteOutput(junit_, JUnitXml(outcome.reports)); !written) return Fail(written.failure());
    std::cerr << "try: done in " << static_cast<int>(outcome.seconds + 0.5) << " s\n";
    return code;
  }

  TryOptions options_;
  std::string input_, restart_ = kDefaultRestart, junit_;
  std::vector<std::string> families_;
  int codePage_ = 0;
  bool json_ = false;
};

}  // namespace try_command

std::unique_ptr<Command> TryCommand() { return std::make_unique<try_command::TryStage>(); }

}  // namespace uninstdat
