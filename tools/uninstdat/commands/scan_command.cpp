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
namespace {

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

  Exit Run() override {
    ScanOptions options;
    if (auto e = Options(&options)) return *e;
    std::vector<std::string> notes;
    Result<Json> scanned = Scan(options, &notes);
    if (!scanned) return Fail(scanned.failure());
    const Json& manifest = *scanned;
    for (const std::string& note : notes) Say("note: " + note);
    // The names must be texts of the code page, or build would refuse them.
    TargetCodePage page(options.codePage);
    std::vector<std::string> errors;
    if (!ModelFromManifest(manifest, page, &errors)) {
      for (const std::string& e : errors) Say(e);
      return Fail(Exit::kBadInput, "the stage holds names that code page " + std::to_string(options.codePage) +
                                       " cannot carry; give --codepage");
    }
    if (auto written = WriteOutput(output_, manifest.dump(2) + "\n"); !written) return Fail(written.failure());
    return Exit::kDone;
  }

 private:
  std::optional<Exit> Options(ScanOptions* options) {
    std::vector<uninst::OsFamilyValue> families;
    if (auto e = ParseFamilies(families_, {uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt, uninst::kOsUnknown},
                               {kDefaultFamily}, &families))
      return e;
    if (families.size() > 1) return Fail(Exit::kUsage, "--family: scan takes one family");
    options->stage = stage_;
    options->installFolder = installFolder_;
    options->codePage = codePage_ ? codePage_ : kDefaultCodePage;
    options->allUsers = allUsers_;
    if (auto e = FromCapture(options)) return e;
    options->machine = DefaultMachine(families[0]);
    if (machinePath_.empty()) return std::nullopt;
    Json machine;
    std::string error;
    if (auto e = LoadMachine(machinePath_, &machine)) return e;
    if (!ApplyMachineJson(machine, &options->machine, &error)) return Fail(Exit::kBadInput, machinePath_ + ": " + error);
    return std::nullopt;
  }

  // What `uninstdat capture` wrote beside the stage (capture.json): the
  // install folder and whether the shortcuts went to all users, each taken
  // only when its option is not given.
  std::optional<Exit> FromCapture(ScanOptions* options) {
    bool needFolder = options->installFolder.empty(), needUsers = allUsersOption_->count() == 0;
    std::string path = stage_ + "/capture.json";
    if ((!needFolder && !needUsers) || !IsReadableFile(path)) {
      if (needFolder) return Fail(Exit::kUsage, "--install-folder is required (no capture.json in the stage names it)");
      return std::nullopt;
    }
    Json capture;
    auto bytes = ReadInput(path);
    if (!bytes) return Fail(bytes.failure());
    capture = Json::parse(*bytes, nullptr, false);
    if (!capture.is_object()) return Fail(Exit::kBadInput, path + ": no JSON object");
    if (needFolder) {
      if (!capture.contains("installFolder") || !capture["installFolder"].is_string())
        return Fail(Exit::kUsage, "--install-folder is required (" + path + " names none)");
      options->installFolder = capture["installFolder"].get<std::string>();
    }
    if (needUsers && capture.contains("allUsers") && capture["allUsers"].is_boolean())
      options->allUsers = capture["allUsers"].get<bool>();
    return std::nullopt;
  }

  CLI::Option* allUsersOption_ = nullptr;
  std::string stage_, installFolder_, output_ = "-", machinePath_;
  int codePage_ = 0;
  bool allUsers_ = false;
  std::vector<std::string> families_;
};

}  // namespace

std::unique_ptr<Command> ScanCommand() { return std::make_unique<ScanStage>(); }

}  // namespace uninstdat
