// `uninstdat capture`: a stage from the author's own installer, run sealed
// in a Wine sandbox, so that scan, lint and try start from what the
// installer really does. Exit 0 everything captured, 1 something reported.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/uninstdat/capture/capture_render.h"
#include "tools/uninstdat/capture/capture_session.h"
#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/commands/options.h"
#include "tools/uninstdat/families.h"
#include "tools/uninstdat/system/process.h"

namespace uninstdat {
namespace capture_command {

// The default family, printed by the option's help (the installer's time
// is CaptureOptions' own).
constexpr uninst::OsFamilyValue kDefaultFamily = uninst::kOsNt;

class CaptureInstaller : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* command = app.add_subcommand(
        "capture", "Run an installer sealed in a Wine sandbox and write the stage of what it installed.");
    command->add_option("INSTALLER", options_.installer, "the installer: a Windows program or an MSI package")->required();
    command->add_option("-o,--output", options_.stage, "the stage to write: a new or an empty folder")->required();
    command->add_option("--args", options_.arguments,
                        "appended to the installer's command line, such as /S (an MSI package always gets /qn /norestart)");
    AddFamilies(command, &families_,
                "the Windows version the installer sees: nt, 98 or 95 (default " +
                    std::string(FamilyName(kDefaultFamily)) + ")");
    command->add_option("--install-folder", options_.installFolder,
                        "the product's folder as the stage sees it (C:\\...); default: the folder of the installer's "
                        "uninst.exe, else its folder below Program Files");
    command->add_option("--timeout", options_.timeout,
                        "seconds the installer may take (default " + std::to_string(CaptureOptions().timeout) + ")")
        ->check(CLI::Range(5, 3600));
    AddJson(command, &json_, "one JSON record per line");
    command->add_flag("--keep", options_.keep, "keep the work folder: the views of the prefix and the snapshots");
    return command;
  }

  Result<Exit> Run() override {
    if (Result<void> usable = WineUsableHere(); !usable) return usable.failure();
    Result<std::vector<uninst::OsFamilyValue>> families =
        ParseFamilies(families_, {uninst::kOsNt, uninst::kOsWin98, uninst::kOsWin95}, {kDefaultFamily});
    if (!families) return families.failure();
    if (families->size() > 1) return Failure{Exit::kUsage, "--family: capture takes one family"};
    options_.family = (*families)[0];
    CaptureOutcome outcome = RunCapture(options_, [](const std::string& line) { std::cerr << line << "\n"; });
    const Result<void>& ran = outcome.result;
    if (!ran && ran.failure().code == Exit::kInterrupted) return Exit::kInterrupted;  // without a word
    Exit code = !ran ? ran.failure().code : outcome.report.Clean() ? Exit::kDone : Exit::kFindings;
    if (outcome.reported) {
      int exit = static_cast<int>(code);
      std::cout << (json_ ? CaptureReportJsonLines(outcome.report, exit) : CaptureReportText(outcome.report, exit));
      std::cout.flush();
    }
    if (!ran) Fail(ran.failure());
    if (!outcome.keptFolder.empty()) Say("the work folder stays: " + outcome.keptFolder);
    std::cerr << "capture: done in " << static_cast<int>(outcome.seconds + 0.5) << " s\n";
    return code;
  }

 private:
  CaptureOptions options_;
  std::vector<std::string> families_;
  bool json_ = false;
};

}  // namespace capture_command

std::unique_ptr<Command> CaptureCommand() { return std::make_unique<capture_command::CaptureInstaller>(); }

}  // namespace uninstdat
