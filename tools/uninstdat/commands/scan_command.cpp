// `uninstdat scan`: the manifest of everything a staged installation holds.
#include <CLI/CLI.hpp>

#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/commands/input.h"
#include "tools/uninstdat/commands/options.h"
#include "tools/uninstdat/families.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/stage/scan.h"
#include "tools/uninstdat/system/io.h"
#include "tools/uninstdat/system/process.h"

namespace uninstdat {
namespace scan_command {

// The default family, printed by the option's help (the code page's is
// kDefaultCodePage).
constexpr uninst::OsFamilyValue kDefaultFamily = uninst::kOsNt;

class ScanStage : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* scan = app.add_subcommand("scan", "Write a manifest that lists everything a staged installation holds.");
    scan->add_option("STAGE", stage_, "the stage: files/<drive>/..., shell/<folder>/..., registry.reg")->required();
    scan->add_option("--install-folder", installFolder_,
                     "the product's folder, such as C:\\Program Files\\Widget (default: STAGE/capture.json's)");
    scan->add_option("-o,--output", output_, "the manifest to write (default: standard output)");
    AddCodePage(scan, &codePage_, "the manifest's code page (default " + std::to_string(kDefaultCodePage) + ")");
    allUsersOption_ = scan->add_flag("--all-users", allUsers_,
                                     "the shortcuts are the all-users ones on the NT family (default: STAGE/capture.json's)");
    AddFamilies(scan, &families_,
                "whose default folders become location macros: 95, 98, nt or unknown (default " +
                    std::string(FamilyName(kDefaultFamily)) + ")");
    AddMachine(scan, &machinePath_, "JSON file of the machine's folders");
    return scan;
  }

  Result<Exit> Run() override {
    Result<ScanOptions> options = Options();
    if (!options) return options.failure();
    std::vector<std::string> notes;
    Result<Json> scanned = Scan(*options, &notes);
    if (!scanned) return scanned.failure();
    const Json& manifest = *scanned;
    for (const std::string& note : notes) Say("note: " + note);
    // The names must be texts of the code page, or build would refuse them:
    // every name that is not, then what to do about it.
    TargetCodePage page(options->codePage);
    if (Result<DataFileModel> model = ModelFromManifest(manifest, page); !model)
      return Failure{Exit::kBadInput,
                     "the stage holds names that code page " + std::to_string(options->codePage) +
                         " cannot carry; give --codepage",
                     Lines(model.failure())};
    if (Result<void> written = WriteOutput(output_, manifest.dump(2) + "\n"); !written) return written.failure();
    return Exit::kDone;
  }

 private:
  Result<ScanOptions> Options() {
    Result<std::vector<uninst::OsFamilyValue>> families = ParseFamilies(
        families_, {uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt, uninst::kOsUnknown}, {kDefaultFamily});
    if (!families) return families.failure();
    if (families->size() > 1) return Failure{Exit::kUsage, "--family: scan takes one family"};
    ScanOptions options;
    options.stage = stage_;
    options.installFolder = installFolder_;
    options.codePage = codePage_ ? codePage_ : kDefaultCodePage;
    options.allUsers = allUsers_;
    if (Result<void> captured = FromCapture(&options); !captured) return captured.failure();
    options.machine = DefaultMachine((*families)[0]);
    if (machinePath_.empty()) return options;
    Result<Json> machine = LoadMachine(machinePath_);
    if (!machine) return machine.failure();
    if (Result<void> applied = ApplyMachineJson(*machine, &options.machine); !applied)
      return At(machinePath_, applied.failure());
    return options;
  }

  // What `uninstdat capture` wrote beside the stage (capture.json): the
  // install folder and whether the shortcuts went to all users, each taken
  // only when its option is not given.
  Result<void> FromCapture(ScanOptions* options) {
    bool needFolder = options->installFolder.empty(), needUsers = allUsersOption_->count() == 0;
    std::string path = stage_ + "/capture.json";
    if ((!needFolder && !needUsers) || !IsReadableFile(path)) {
      if (needFolder) return Failure{Exit::kUsage, "--install-folder is required (no capture.json in the stage names it)"};
      return {};
    }
    Result<std::string> bytes = ReadInput(path);
    if (!bytes) return bytes.failure();
    Json capture = Json::parse(*bytes, nullptr, false);
    if (!capture.is_object()) return Failure{Exit::kBadInput, path + ": no JSON object"};
    if (needFolder) {
      if (!capture.contains("installFolder") || !capture["installFolder"].is_string())
        return Failure{Exit::kUsage, "--install-folder is required (" + path + " names none)"};
      options->installFolder = capture["installFolder"].get<std::string>();
    }
    if (needUsers && capture.contains("allUsers") && capture["allUsers"].is_boolean())
      options->allUsers = capture["allUsers"].get<bool>();
    return {};
  }

  CLI::Option* allUsersOption_ = nullptr;
  std::string stage_, installFolder_, output_ = "-", machinePath_;
  int codePage_ = 0;
  bool allUsers_ = false;
  std::vector<std::string> families_;
};

}  // namespace scan_command

std::unique_ptr<Command> ScanCommand() { return std::make_unique<scan_command::ScanStage>(); }

}  // namespace uninstdat
