// `uninstdat try`'s session; see try_session.h. What it decides from the
// options alone is try_inputs.cpp's, the paths the uninstaller will list
// try_listed_paths.cpp's; try_session_parts.h is what they share.
#include "tools/uninstdat/try/try_session.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>

#include "tools/uninstdat/families.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/stage/registry_export.h"
#include "tools/uninstdat/stage/stage.h"
#include "tools/uninstdat/system/files.h"
#include "tools/uninstdat/system/io.h"
#include "tools/uninstdat/system/process.h"
#include "tools/uninstdat/try/try_session_parts.h"
#include "tools/uninstdat/try/wine_prefix.h"
#include "tools/uninstdat/try/wine_text.h"

namespace uninstdat {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

Result<void> ReadHives(const std::string& folder, RegistrySnapshot* registry) {
  for (const auto& [file, root] : {std::pair{"system.reg", "HKEY_LOCAL_MACHINE"}, {"user.reg", "HKEY_CURRENT_USER"},
                                   {"userdef.reg", "HKEY_USERS\\.DEFAULT"}}) {
    Result<std::string> bytes = ReadInput(folder + "/" + file);
    if (!bytes) return Failure{Exit::kBadInput, "the hive " + folder + "/" + file + " cannot be read: " + bytes.failure().message};
    ReadWineHive(*bytes, root, registry);
  }
  return {};
}

Snapshot ReadSnapshot(const std::string& folder, std::string* error) {
  Snapshot snapshot;
  Result<std::string> files = ReadInput(folder + "/files");
  if (!files) *error = "the snapshot " + folder + "/files cannot be read: " + files.failure().message;
  else if (!ReadFileSnapshot(*files, &snapshot.files)) *error = "a snapshot in " + folder + " is cut short";
  if (Result<void> hives = ReadHives(folder, &snapshot.registry); !hives) *error = hives.failure().message;
  return snapshot;
}

namespace {

const char* FamilyHeading(uninst::OsFamilyValue family) {
  return family == uninst::kOsNt ? "the Windows NT family" : FamilyLongName(family);
}
const char* WineVersionName(uninst::OsFamilyValue family) {
  return family == uninst::kOsNt ? "win10" : family == uninst::kOsWin98 ? "win98" : "win95";
}

// What every family's run shares, found before any Wine work: the stage's
// export, try's Wine helper, the uninstaller and Wine's language; then the
// pristine prefix of this host's Wine.
struct Setup {
  std::string exportText;
  std::vector<RegistryItem> exported;
  std::string alsoText;                 // --also's registry.reg, without its first line
  std::vector<RegistryItem> alsoExported;
  std::string script, uninstaller, beside, language;  // beside: the uninst.exe beside the tool, if any
  std::map<std::string, std::string> host;  // what the helper says of the prefix: prefix, home, user, wow64, ...
  RegistrySnapshot pristine;
};

// A tree's registry.reg (the stage's, or --also's), checked as one: what a
// stage may not import, --also may not either.
Result<void> CheckExport(const std::string& tree, const char* what, const TargetCodePage& page, std::string* text,
                         std::vector<RegistryItem>* items) {
  std::string path = tree + "/registry.reg";
  if (EntryKindAt(path) == FileKind::kNone) return {};
  auto bytes = ReadInput(path);
  if (!bytes) return Failure{Exit::kBadInput, what + bytes.failure().message};
  auto decoded = DecodeRegistryExport(*bytes, page.converter.number());
  auto exported = ParseRegistryExport(*bytes, page.converter.number());
  if (!decoded || !exported)
    return Failure{Exit::kBadInput, what + std::string("registry.reg: ") +
                                        (decoded ? exported.failure() : decoded.failure()).message};
  *text = *decoded;
  *items = exported->items;
  if (Result<void> checked = CheckRegistryExport(*items, exported->deletions); !checked)
    return Failure{Exit::kBadInput, what + checked.failure().message};
  return {};
}

Result<void> CheckInputs(const TryOptions& options, const TargetCodePage& page, Setup* setup) {
  if (std::string why = InstallFolderProblem(options.installFolder); !why.empty()) return Failure{Exit::kUsage, why};
  if (auto checked = CheckStage(options.stage); !checked) return checked;
  if (!options.also.empty())
    if (auto checked = CheckStage(options.also); !checked)
      return Failure{Exit::kBadInput, "--also: " + checked.failure().message};
  if (auto checked = CheckExport(options.stage, "", page, &setup->exportText, &setup->exported); !checked)
    return checked;
  if (!options.also.empty()) {
    if (auto checked = CheckExport(options.also, "--also: ", page, &setup->alsoText, &setup->alsoExported); !checked)
      return checked;
    setup->alsoText.erase(0, setup->alsoText.find('\n') + 1);  // its header: the stage's stands first
  }
  std::string own = OwnFolder(), tools = Environment("UNINSTDAT_WINE_TOOLS");
  setup->script = (tools.empty() ? own + "/wine" : tools) + "/try.sh";
  if (!IsReadableFile(setup->script))
    return Failure{Exit::kBadInput, "cannot find try's Wine helper " + setup->script +
                                        " (it lies in the folder \"wine\" beside uninstdat; UNINSTDAT_WINE_TOOLS names another)"};
  setup->uninstaller = options.uninstaller;
  if (IsReadableFile(own + "/uninst.exe")) setup->beside = own + "/uninst.exe";
  if (!setup->uninstaller.empty() && !IsReadableFile(setup->uninstaller))
    return Failure{Exit::kBadInput, "--uninstaller " + setup->uninstaller + " is no file that can be read"};
  int number = page.converter.number();
  setup->language = LocaleForCodePage(number);
  if (HasLocale(setup->language)) return {};
  if (number == 1252) {
    setup->language = "C.UTF-8";  // Wine takes 1252 there as well
    return {};
  }
  std::string name = setup->language.substr(0, setup->language.find('.'));
  return Failure{Exit::kBadInput, "code page " + std::to_string(number) + " needs the locale " + setup->language +
                                      ", which this machine lacks, or Wine runs with 1252; make it (as root) with: "
                                      "localedef -i " + name + " -f UTF-8 " + setup->language};
}

// The pristine prefix of this host's Wine, made once and kept.
Result<void> PreparePrefix(const std::string& work, const std::function<void(const std::string&)>& progress,
                           Setup* setup) {
  std::string xdg = Environment("XDG_CACHE_HOME"), home = Environment("HOME");
  std::string cache = !xdg.empty() ? xdg + "/uninstdat" : !home.empty() ? home + "/.cache/uninstdat" : work + "/cache";
  ScriptResult prepared = RunScript({"bash", setup->script, "prepare", cache}, 600, true);
  if (Interrupted()) return Failure{Exit::kInterrupted, ""};
  if (prepared.code != 0)
    return Failure{Exit::kBadInput, prepared.timedOut ? "making the pristine prefix took over 10 minutes"
                                                      : "Wine cannot run here (the reason is above)"};
  std::istringstream in(prepared.output);
  for (std::string line; std::getline(in, line);)
    if (size_t eq = line.find('='); eq != std::string::npos) setup->host[line.substr(0, eq)] = line.substr(eq + 1);
  UninstallerChoice choice = ChooseUninstaller(setup->uninstaller, setup->beside, setup->host);
  setup->uninstaller = choice.path;
  if (!choice.note.empty()) progress(choice.note);
  if (!IsReadableFile(setup->uninstaller))
    return Failure{Exit::kBadInput,
                   "no uninst.exe beside uninstdat and none built (" + setup->uninstaller + "); give --uninstaller"};
  return ReadHives(setup->host["prefix"], &setup->pristine);
}

// One family's run: the prefix laid out, the Wine side, the snapshots.
class FamilyRun {
 public:
  FamilyRun(const TryOptions& options, const Setup& setup, const std::string& dataFile, const TargetCodePage& page,
            const std::string& workPath, uninst::OsFamilyValue family)
      : options_(options), setup_(setup), dataFile_(dataFile), page_(page), host_(setup.host),
        dir_(workPath + "/" + FamilyName(family)), workPath_(workPath) {
    run_.family = family;
    run_.page = &page;
    view_.family = family;
    view_.wow64 = host_["wow64"] == "yes";
    view_.user = host_["user"];
    view_.allUsers = SplitTexts(dataFile).allUsers != 0;
  }

  Result<void> Run(const std::function<void(const std::string&)>& progress, FamilyReport* report) {
    const auto started = Clock::now();
    std::string hold;
    if (auto laid = LayOut(&hold); !laid) return laid;
    if (auto written = WriteInputs(); !written) return written;
    progress("try: " + std::string(FamilyName(run_.family)) + ": " + FamilyHeading(run_.family) + ", " +
             run_.installFolder.windowsPath);
    if (auto ran = RunWineSide(hold); !ran) return ran;
    *report = CompareRun(run_);
    int number = page_.converter.number();
    if (report->codePageSeen && report->codePageSeen != number)
      return Failure{Exit::kBadInput, "Wine ran with code page " + std::to_string(report->codePageSeen) + ", not " +
                                          std::to_string(number) + " (LANG " + setup_.language + ")"};
    progress("try: " + std::string(FamilyName(run_.family)) + ": done in " +
             std::to_string(static_cast<int>(Seconds(started) + 0.5)) + " s");
    return {};
  }

 private:
  // The machine's own files, then the stage, then the uninstaller and its
  // data file in the install folder; `hold` gets the file to hold open.
  Result<void> LayOut(std::string* hold) {
    std::string layerPrefix = dir_ + "/layer/prefix", layerHome = dir_ + "/layer/home";
    for (const std::string& layer : {layerPrefix, layerHome})
      if (auto made = MakeFolders(layer); !made)
        return Failure{Exit::kCannotWrite, "cannot make " + layer + ": " + made.failure().message};
    PrefixLayout layout(host_["prefix"], host_["home"], layerPrefix, layerHome);
    if (!options_.also.empty()) {
      Result<std::vector<Placed>> also = layout.LayOutTree(options_.also, view_);
      if (!also) return Failure{Exit::kBadInput, "--also: " + also.failure().message};
      for (const Placed& item : *also)
        if (!item.existed) run_.mustStay.push_back({"--also", item, std::nullopt});
    }
    for (const RegistryItem& item : setup_.alsoExported) run_.mustStay.push_back({"--also", std::nullopt, item});
    Result<std::vector<Placed>> staged = layout.LayOutTree(options_.stage, view_);
    if (!staged) return Failure{Exit::kBadInput, "the stage's " + staged.failure().message};
    run_.staged = *staged;
    std::string install = MapStagePath(view_, options_.installFolder);
    while (install.back() == '\\') install.pop_back();
    Result<Placed> installFolder = layout.Place(install, "", false);
    if (!installFolder) return Failure{Exit::kUsage, "--install-folder: " + installFolder.failure().message};
    run_.installFolder = *installFolder;
    if (run_.installFolder.existed)
      return Failure{Exit::kUsage, "--install-folder " + options_.installFolder + " is a folder of the machine itself (" +
                                       run_.installFolder.windowsPath + "); name the product's own folder"};
    const std::string& folder = run_.installFolder.windowsPath;
    Result<Placed> uninstaller = layout.Place(folder + "\\uninst.exe", setup_.uninstaller, true);
    if (!uninstaller) return uninstaller.failure();
    run_.uninstaller = *uninstaller;
    Result<Placed> dataFile = layout.Place(folder + "\\uninst.dat", workPath_ + "/uninst.dat", true);
    if (!dataFile) return dataFile.failure();
    run_.dataFile = *dataFile;
    // An installer leaves its uninstaller writable; a read-only one would
    // keep the self-removal batch deleting it for ever.
    for (const Placed* item : {&run_.uninstaller, &run_.dataFile}) {
      std::string laid = layerPrefix + "/drive_c/" + item->location.path;
      if (auto set = SetPermissions(laid, 0644); !set)
        return Failure{Exit::kCannotWrite, "cannot make " + laid + " writable: " + set.failure().message};
    }
    if (!options_.fresh) LayCanaries(layout);
    if (options_.hold.empty()) return {};
    std::string wanted = UpperAscii(MapStagePath(view_, options_.hold));
    for (const Placed& item : run_.staged)
      if (!item.folder && UpperAscii(item.windowsPath) == wanted) *hold = item.windowsPath;
    if (hold->empty()) return Failure{Exit::kUsage, "--hold " + options_.hold + " is no file of the stage"};
    return {};
  }

  // What a machine someone lives on holds beside the product (canaries.h),
  // laid into the same layer as the stage, before the run and its control
  // run alike. A canary that cannot be laid (the stage has that name) is
  // left out.
  void LayCanaries(PrefixLayout& layout) {
    CanaryStage stage;
    stage.view = view_;
    stage.installFolder = run_.installFolder.windowsPath;
    stage.staged = run_.staged;
    stage.shellItems = ShellItems(options_.stage);
    stage.exported = setup_.exported;
    stage.pristine = &setup_.pristine;
    CanaryPlan plan = PlanCanaries(stage);
    std::string source = dir_ + "/canary.txt";
    static_cast<void>(WriteWholeFile(source, "another program's file\r\n"));  // unwritten, no canary is laid
    for (const CanaryItem& item : plan.items) {
      if (Result<Placed> placed = layout.Place(item.windowsPath, source, false))
        run_.mustStay.push_back({CanaryKindName(item.kind), *placed, std::nullopt});
    }
    for (const CanaryValue& value : plan.registry) {
      if (value.ownKey) run_.mustStay.push_back({CanaryKindName(value.kind), std::nullopt, RegistryItem{value.key, "", false}});
      run_.mustStay.push_back({CanaryKindName(value.kind), std::nullopt, RegistryItem{value.key, value.value, false}});
    }
    canaryLines_ = plan.ImportLines();
    run_.canariesLaid = true;
  }

  // The stage's shell items: each file below shell/, its path relative to
  // it with "/" between names, in byte order.
  static std::vector<std::string> ShellItems(const std::string& stage) {
    std::vector<std::string> items;
    if (auto tree = ListTree(stage + "/shell"))
      for (const FolderEntry& entry : *tree)
        if (entry.kind != FileKind::kFolder) items.push_back(entry.name);
    std::sort(items.begin(), items.end());
    return items;
  }

  // The registry to import (Run values made inert, the Windows version the
  // uninstaller is to see), the paths the uninstaller will list, and its
  // own path, for the Wine side.
  Result<void> WriteInputs() {
    std::string version = std::string("[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\uninst.exe]\r\n\"Version\"=\"") +
                          WineVersionName(run_.family) + "\"\r\n";
    run_.exported = setup_.exported;
    std::string listed;
    if (auto paths = ListedPaths(&listed); !paths) return paths;
    // The stage's export, then --also's, then the canaries: each a key and
    // values of its own.
    std::string text = setup_.exportText;
    if (text.empty() && !setup_.alsoText.empty()) text = "Windows Registry Editor Version 5.00\r\n";
    text += setup_.alsoText;
    std::vector<RegistryItem> items = setup_.exported;
    items.insert(items.end(), setup_.alsoExported.begin(), setup_.alsoExported.end());
    if (!WriteWholeFile(dir_ + "/import.reg", RegistryImportText(text, items, version + "\r\n" + canaryLines_)) ||
        !WriteWholeFile(dir_ + "/listed.txt", listed) ||
        !WriteWholeFile(dir_ + "/uninstaller.txt", run_.uninstaller.windowsPath))
      return Failure{Exit::kCannotWrite, "cannot write in " + dir_};
    return {};
  }

  // The paths the uninstaller will list, and what removes what
  // (try_listed_paths.cpp).
  Result<void> ListedPaths(std::string* listed) { return ListUninstallerPaths(view_, page_, dataFile_, &run_, listed); }

  Result<void> RunWineSide(const std::string& hold) {
    ScriptResult ran = RunScript({"bash", setup_.script, "run", host_["prefix"], host_["home"], dir_,
                                  options_.restart ? "Yes" : "No", std::to_string(options_.timeout), setup_.language, hold},
                                 3 * options_.timeout + 300, false);
    if (auto judged = WineSideJudged(ran, Interrupted()); !judged) return judged;
    std::string error;
    run_.pristine = setup_.pristine;
    run_.before = ReadSnapshot(dir_ + "/before.snap", &error);
    run_.after = ReadSnapshot(dir_ + "/after.snap", &error);
    run_.control = ReadSnapshot(dir_ + "/control.snap", &error);
    run_.runOutput = ReadOrEmpty(dir_ + "/run.out");
    run_.controlOutput = ReadOrEmpty(dir_ + "/control.out");
    run_.importOutput = ReadOrEmpty(dir_ + "/import.out");
    WineMessages messages{ReadOrEmpty(dir_ + "/import.log"), ReadOrEmpty(dir_ + "/run.log"),
                          ReadOrEmpty(dir_ + "/control.log")};
    AccountWineSideEnd(ran, error, messages, &run_);
    return {};
  }

  const TryOptions& options_;
  const Setup& setup_;
  const std::string& dataFile_;
  const TargetCodePage& page_;
  std::map<std::string, std::string> host_;
  std::string dir_, workPath_;
  WineView view_;
  TryRun run_;
  std::string canaryLines_;
};

Result<void> RunInWorkFolder(const TryOptions& options, const std::string& dataFile, const TargetCodePage& page,
                             const std::function<void(const std::string&)>& progress, Setup* setup,
                             const std::string& work, std::vector<FamilyReport>* reports) {
  if (auto prepared = PreparePrefix(work, progress, setup); !prepared) return prepared;
  if (!WriteWholeFile(work + "/uninst.dat", dataFile)) return Failure{Exit::kCannotWrite, "cannot write in " + work};
  for (uninst::OsFamilyValue family : options.families) {
    FamilyRun run(options, *setup, dataFile, page, work, family);
    FamilyReport report;
    if (auto ran = run.Run(progress, &report); !ran) return ran;
    reports->push_back(std::move(report));
  }
  return {};
}

}  // namespace

Result<void> WineSideJudged(const ScriptResult& ran, bool interrupted) {
  if (interrupted) return Failure{Exit::kInterrupted, ""};
  if (ran.code != 0 && !ran.timedOut)
    return Failure{Exit::kBadInput,
                   "the Wine side of try failed (exit code " + std::to_string(ran.code) + "; the reason is above)"};
  return {};
}

void AccountWineSideEnd(const ScriptResult& ran, const std::string& snapshotError, const WineMessages& messages,
                        TryRun* run) {
  if (ran.timedOut) run->runOutput += "\nerror: timeout: the Wine side did not end in time and was ended\n";
  if (!snapshotError.empty()) run->runOutput += "\nerror: " + snapshotError + "\n";
  for (const auto& [said, output] : {std::pair{&messages.import, &run->importOutput}, {&messages.run, &run->runOutput},
                                     {&messages.control, &run->controlOutput}})
    if (std::string errors = CrashErrors(*said); !errors.empty()) *output += "\n" + errors;
}

TryOutcome RunTry(const TryOptions& options, const std::string& dataFile, const TargetCodePage& page,
                  const std::function<void(const std::string&)>& progress) {
  const auto started = Clock::now();
  TryOutcome outcome;
  Setup setup;
  outcome.result = CheckInputs(options, page, &setup);
  if (outcome.result) {
    // Where it all happens, removed however the run ends.
    CatchInterrupts();
    std::string tmp = Environment("TMPDIR");
    Result<std::string> path = MakeTemporaryFolder(tmp.empty() ? "/tmp" : tmp, "uninstdat-try.");
    if (!path) {
      outcome.result = Failure{Exit::kCannotWrite, "cannot make a work folder: " + path.failure().message};
    } else {
      RemovedAtEnd work(*path, options.keep);
      outcome.result = RunInWorkFolder(options, dataFile, page, progress, &setup, *path, &outcome.reports);
      if (options.keep) outcome.keptFolder = *path;
    }
  }
  if (!outcome.result) outcome.reports.clear();
  outcome.seconds = Seconds(started);
  return outcome;
}

}  // namespace uninstdat
