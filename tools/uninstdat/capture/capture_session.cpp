// `uninstdat capture`'s session; see capture_session.h.
#include "tools/uninstdat/capture/capture_session.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/uninstdat/capture/shortcut_times.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/families.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/stage/registry_export.h"
#include "tools/uninstdat/stage/stage.h"
#include "tools/uninstdat/system/files.h"
#include "tools/uninstdat/system/io.h"
#include "tools/uninstdat/system/process.h"
#include "tools/uninstdat/try/try_session.h"
#include "tools/uninstdat/try/wine_text.h"

namespace uninstdat {
namespace {

using Clock = std::chrono::steady_clock;

bool IsShortcut(const std::string& path) {
  return path.size() > 4 && UpperAscii(path.substr(path.size() - 4)) == ".LNK";
}

// "key=value" lines of a helper, as a map.
std::map<std::string, std::string> KeyValues(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (size_t eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  return values;
}

const char* FamilyWord(uninst::OsFamilyValue family) {
  return family == uninst::kOsWin98 ? "98" : family == uninst::kOsWin95 ? "95" : "nt";
}

// The stage must not exist or be an empty folder; its folder must be
// there or be made.
Result<void> CheckStageTarget(const std::string& stage) {
  if (FileKind kind = EntryKindAt(stage); kind != FileKind::kNone) {
    if (kind != FileKind::kFolder)
      return Failure{Exit::kCannotWrite, "the stage " + stage + " exists and is no folder; name a new one"};
    auto inside = ListFolder(stage);
    if (!inside || !inside->empty())
      return Failure{Exit::kCannotWrite,
                     "the stage " + stage + " is not empty; capture writes only a new or an empty folder"};
  }
  auto absolute = AbsolutePath(stage);
  std::string parent = absolute ? ParentOf(*absolute) : "";
  if (!absolute || !MakeFolders(parent) || KindAt(parent) != FileKind::kFolder)
    return Failure{Exit::kCannotWrite, "cannot make the folder " + parent + " for the stage"};
  return {};
}

class Session {
 public:
  Session(const CaptureOptions& options, const std::function<void(const std::string&)>& progress, CaptureOutcome* outcome)
      : options_(options), progress_(progress), outcome_(outcome) {}

  Result<void> Run() {
    if (auto done = CheckArguments(); !done) return done;
    if (auto done = Recognize(); !done) return done;
    if (auto done = FindHelpers(); !done) return done;
    if (auto done = CheckBits(); !done) return done;
    CatchInterrupts();
    std::string tmp = Environment("TMPDIR");
    Result<std::string> path = MakeTemporaryFolder(tmp.empty() ? "/tmp" : tmp, "uninstdat-capture.");
    if (!path) return Failure{Exit::kCannotWrite, "cannot make a work folder: " + path.failure().message};
    RemovedAtEnd work(*path, options_.keep);
    work_ = *path;
    if (options_.keep) outcome_->keptFolder = *path;
    if (auto done = Prepare(); !done) return done;
    if (auto done = LayOutInputs(); !done) return done;
    if (auto done = RunWineSide(); !done) return done;
    if (auto done = Read(); !done) return done;
    return WriteStage();
  }

 private:
  Result<void> CheckArguments() {
    if (!options_.installFolder.empty())
      if (std::string why = InstallFolderProblem(options_.installFolder); !why.empty())
        return Failure{Exit::kUsage, "--install-folder: " + why};
    if (std::string why = ArgumentsProblem(options_.arguments); !why.empty())
      return Failure{Exit::kUsage, "--args: " + why};
    return CheckStageTarget(options_.stage);
  }

  Result<void> Recognize() {
    auto size = FileSize(options_.installer);
    if (KindAt(options_.installer) != FileKind::kFile || !IsReadableFile(options_.installer) || !size)
      return Failure{Exit::kBadInput, "the installer " + options_.installer + " is no file that can be read"};
    size_ = *size;
    std::ifstream file(options_.installer, std::ios::binary);
    ByteSource source;
    source.size = size_;
    source.read = [&file](uint64_t offset, size_t size, std::string* out) {
      file.clear();
      file.seekg(static_cast<std::streamoff>(offset));
      out->assign(size, '\0');
      file.read(&(*out)[0], static_cast<std::streamsize>(size));
      out->resize(static_cast<size_t>(file.gcount()));
      return true;
    };
    Result<InstallerInfo> recognized = RecognizeInstaller(source);
    if (!recognized) return Failure{Exit::kBadInput, "the installer " + options_.installer + ": " + recognized.failure().message};
    installer_ = *recognized;
    name_ = FileNameOf(options_.installer);
    if (!WindowsNameProblem(name_).empty()) name_ = installer_.kind == InstallerKind::kMsi ? "installer.msi" : "installer.exe";
    return {};
  }

  Result<void> FindHelpers() {
    std::string tools = Environment("UNINSTDAT_WINE_TOOLS");
    if (tools.empty()) tools = OwnFolder() + "/wine";
    capture_ = tools + "/capture.sh";
    try_ = tools + "/try.sh";
    for (const std::string& script : {capture_, try_})
      if (!IsReadableFile(script))
        return Failure{Exit::kBadInput, "cannot find capture's Wine helper " + script +
                                            " (it lies in the folder \"wine\" beside uninstdat; "
                                            "UNINSTDAT_WINE_TOOLS names another)"};
    return {};
  }

  // A 32-bit program cannot start where only 64-bit Wine runs: refused
  // before any prefix is made.
  Result<void> CheckBits() {
    ScriptResult bits = RunScript({"bash", capture_, "bits"}, 60, true);
    if (Interrupted()) return Failure{Exit::kInterrupted, ""};
    std::string wine = KeyValues(bits.output)["bits"];
    if (bits.code != 0 || (wine != "32" && wine != "64"))
      return Failure{Exit::kBadInput, "Wine cannot run here (the reason is above)"};
    if (wine == "64" && installer_.bits == 32)
      return Failure{Exit::kBadInput,
                     "the installer " + options_.installer + " is a 32-bit " +
                         (installer_.kind == InstallerKind::kMsi ? "package" : "program") +
                         ", and only 64-bit Wine runs here (this host does not execute 32-bit programs, or UNINST_WINE=64 "
                         "chose it), where a 32-bit installer and its 32-bit code cannot run; capture its 64-bit build, "
                         "or capture on a host that runs 32-bit programs"};
    return {};
  }

  Result<void> Prepare() {
    std::string xdg = Environment("XDG_CACHE_HOME"), home = Environment("HOME");
    std::string cache = !xdg.empty() ? xdg + "/uninstdat" : !home.empty() ? home + "/.cache/uninstdat" : work_ + "/cache";
    ScriptResult prepared = RunScript({"bash", try_, "prepare", cache}, 600, true);
    if (Interrupted()) return Failure{Exit::kInterrupted, ""};
    if (prepared.code != 0)
      return Failure{Exit::kBadInput, prepared.timedOut ? "making the pristine prefix took over 10 minutes"
                                                        : "Wine or its sandbox cannot run here (the reason is above)"};
    host_ = KeyValues(prepared.output);
    view_.user = host_["user"];
    view_.wow64 = installer_.bits == 32 && host_["wow64"] == "yes";
    return {};
  }

  Result<void> LayOutInputs() {
    std::string input = work_ + "/input/installer";
    Result<void> copied = MakeFolders(input);
    if (copied) copied = CopyFile(options_.installer, input + "/" + name_, false);
    if (!copied) return Failure{Exit::kCannotWrite, "cannot copy the installer into " + work_ + ": " + copied.failure().message};
    commandLine_ = InstallerCommandLine(installer_.kind, "Z:\\sandbox\\input\\installer\\" + name_, options_.arguments);
    Result<void> written = WriteWholeFile(work_ + "/input/command.txt", commandLine_);
    if (options_.family != uninst::kOsNt) {
      // The Windows version every program of the prefix sees, set before the
      // run and the control run alike.
      std::string version = options_.family == uninst::kOsWin98 ? "win98" : "win95";
      std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine]\r\n\"Version\"=\"" +
                         version + "\"\r\n";
      if (written) written = WriteWholeFile(work_ + "/import.reg", "\xFF\xFE" + Utf8ToUtf16Le(text));
    }
    if (!written) return Failure{Exit::kCannotWrite, "cannot write in " + work_};
    return {};
  }

  Result<void> RunWineSide() {
    std::string language = LocaleForCodePage(1252);
    if (!HasLocale(language)) language = "C.UTF-8";  // Wine takes 1252 there as well
    progress_("capture: " + name_ + ", " + InstallerKindName(installer_.kind) + " (" + std::to_string(installer_.bits) +
              "-bit), on " + (options_.family == uninst::kOsNt ? "the Windows NT family" : FamilyLongName(options_.family)));
    ScriptResult ran = RunScript({"bash", capture_, "run", host_["prefix"], host_["home"], work_,
                                  std::to_string(options_.timeout), language, std::to_string(options_.limits.files),
                                  std::to_string(options_.limits.bytes)},
                                 options_.timeout + 600, false);
    if (Interrupted()) return Failure{Exit::kInterrupted, ""};
    if (ran.timedOut) return Failure{Exit::kBadInput, "the Wine side of capture did not end in time and was ended"};
    if (ran.code != 0)
      return Failure{Exit::kBadInput,
                     "the Wine side of capture failed (exit code " + std::to_string(ran.code) + "; the reason is above)"};
    return {};
  }

  // One snapshot: the listing, the hashes of each root, the three hives.
  // A hive too large to read is the keys cap.
  Result<void> ReadSnapshot(const std::string& name, CaptureSnapshot* snapshot) {
    auto cannot = [](const std::string& why) { return Failure{Exit::kBadInput, "what the run left cannot be read: " + why}; };
    std::string folder = work_ + "/" + name + ".snap";
    Result<std::string> listing = ReadInput(folder + "/files");
    if (!listing) return cannot("the listing " + folder + "/files: " + listing.failure().message);
    if (!ReadFileSnapshot(*listing, &snapshot->files)) return cannot("the listing " + folder + "/files is cut short");
    if (auto listed = ListFolder(folder))
      for (const FolderEntry& entry : *listed) {
        if (entry.name.compare(0, 7, "hashes.") != 0) continue;
        std::string path = folder + "/" + entry.name;
        if (!ReadSha256Sums(ReadOrEmpty(path), entry.name.substr(7), &snapshot->hashes))
          return cannot("the hashes " + path + " are cut short");
      }
    const std::pair<const char*, const char*> hives[] = {
        {"system.reg", "HKEY_LOCAL_MACHINE"}, {"user.reg", "HKEY_CURRENT_USER"}, {"userdef.reg", "HKEY_USERS\\.DEFAULT"}};
    for (const auto& [file, root] : hives) {
      std::string path = folder + "/" + file;
      // A hive whose size cannot be told counts as one too large: the
      // largest size there is.
      auto size = FileSize(path);
      if (!size || *size > kMaxInputBytes) {
        hiveTooLarge_ = size ? *size : UINT64_MAX;
        continue;
      }
      auto bytes = ReadInput(path);
      if (!bytes) return cannot(bytes.failure().message);
      if (Result<void> read = ReadWineHiveValues(*bytes, root, &snapshot->registry); !read)
        return cannot(path + ": " + read.failure().message);
    }
    return {};
  }

  Result<void> Read() {
    CaptureSnapshot before, after, control;
    // A program that crashed in a session (Wine's own line on its standard
    // error) is an error of that session's account: no stage from it.
    facts_.account = ReadOrEmpty(work_ + "/run.out") + "\n" + CrashErrors(ReadOrEmpty(work_ + "/run.log"));
    facts_.controlAccount = ReadOrEmpty(work_ + "/control.out") + "\n" + CrashErrors(ReadOrEmpty(work_ + "/control.log"));
    facts_.scriptCap = ReadOrEmpty(work_ + "/cap");
    for (auto [name, snapshot] : {std::pair{"before", &before}, {"after", &after}, {"control", &control}})
      if (Result<void> read = ReadSnapshot(name, snapshot); !read) return read;
    if (hiveTooLarge_ && facts_.scriptCap.empty())
      facts_.scriptCap = "keys " + std::to_string(hiveTooLarge_) + " " + std::to_string(kMaxInputBytes);
    facts_.installer = installer_;
    facts_.installerName = FileNameOf(options_.installer);
    facts_.installerBytes = size_;
    facts_.arguments = options_.arguments;
    facts_.commandLine = commandLine_;
    facts_.family = FamilyWord(options_.family);
    facts_.view = view_;
    facts_.changes = CompareCapture(before, after, control);
    facts_.givenInstallFolder = options_.installFolder;
    facts_.limits = options_.limits;
    for (const FileChange& change : facts_.changes.files) {
      std::string now = Copied("after", change.where), old = Copied("before", change.where);
      if (change.after.type == 'f')
        if (auto size = FileSize(now)) facts_.sizes[change.where] = *size;
      if (change.before.type == 'f' && change.after.type == 'f') {
        // A small text file's lines, for the report of what changed.
        const uint64_t kText = 64 << 10;
        auto oldSize = FileSize(old), newSize = FileSize(now);
        if (oldSize && *oldSize <= kText && newSize && *newSize <= kText) {
          std::string a = ReadOrEmpty(old), b = ReadOrEmpty(now);
          if (a.find('\0') == std::string::npos && b.find('\0') == std::string::npos) {
            facts_.oldTexts[change.where] = a;
            facts_.newTexts[change.where] = b;
          }
        }
      }
    }
    outcome_->report = BuildCaptureReport(facts_, &plan_);
    outcome_->reported = true;
    if (!outcome_->report.fatal.empty()) {
      std::string why;
      for (const std::string& what : outcome_->report.fatal) why += (why.empty() ? "" : "; ") + what;
      return Failure{Exit::kBadInput, "the capture cannot be trusted, so no stage was written: " + why};
    }
    return {};
  }

  // Where capture.sh copied a file the run touched, as it was `when`
  // ("before" or "after").
  std::string Copied(const char* when, const Location& where) const {
    return work_ + "/" + when + ".files/" + where.root + "/" + where.path;
  }

  // The stage, made whole in a folder beside it and then renamed into place.
  Result<void> WriteStage() {
    CaptureReport& report = outcome_->report;
    if (!report.writesStage) return {};
    auto absolute = AbsolutePath(options_.stage);
    if (!absolute)
      return Failure{Exit::kCannotWrite, "cannot write the stage beside " + options_.stage + ": " + absolute.failure().message};
    const std::string& target = *absolute;
    Result<std::string> temporary = MakeTemporaryFolder(ParentOf(target), "." + FileNameOf(target) + ".capture.");
    if (!temporary)
      return Failure{Exit::kCannotWrite, "cannot write the stage beside " + options_.stage + ": " + temporary.failure().message};
    const std::string& made = *temporary;
    RemovedAtEnd partial(made, false);
    static_cast<void>(SetPermissions(made, 0755));  // as it can: the stage's folders are set below
    for (const std::string& folder : plan_.folders)
      if (auto inside = MakeFolders(made + "/" + folder); !inside)
        return Failure{Exit::kCannotWrite, "cannot make " + made + "/" + folder + ": " + inside.failure().message};
    for (const auto& [path, where] : plan_.files) {
      std::string destination = made + "/" + path;
      Result<void> written = MakeFolders(ParentOf(destination));
      if (written) written = CopyFile(Copied("after", where), destination, true);
      if (written && IsShortcut(path)) {
        // The shell's times of the install are no part of what it installed.
        std::string bytes = ReadOrEmpty(destination);
        if (!WriteWholeFile(destination, ShortcutWithoutTimes(bytes)))
          return Failure{Exit::kCannotWrite, "cannot write " + destination};
      }
      if (written) written = SetPermissions(destination, 0644);
      if (!written) return Failure{Exit::kCannotWrite, "cannot write " + destination + ": " + written.failure().message};
    }
    if (auto tree = ListTree(made))
      for (const FolderEntry& entry : *tree)
        if (entry.kind == FileKind::kFolder) static_cast<void>(SetPermissions(made + "/" + entry.name, 0755));
    if (!plan_.registry.empty() && !WriteWholeFile(made + "/registry.reg", plan_.registry))
      return Failure{Exit::kCannotWrite, "cannot write " + made + "/registry.reg"};
    if (!WriteWholeFile(made + "/capture.json", plan_.captureJson.dump(2) + "\n"))
      return Failure{Exit::kCannotWrite, "cannot write " + made + "/capture.json"};
    // What try will check, checked: a stage that try refuses was never
    // written by capture.
    if (auto checked = CheckStage(made); !checked)
      return Failure{Exit::kBadInput, "the stage would not pass try's checks: " + checked.failure().message};
    if (!plan_.registry.empty()) {
      auto exported = ParseRegistryExport(plan_.registry, 1252);
      Result<void> checked = exported ? CheckRegistryExport(exported->items, exported->deletions) : exported.failure();
      if (!checked) return Failure{Exit::kBadInput, "registry.reg would not pass try's checks: " + checked.failure().message};
    }
    Result<void> placed;
    if (EntryKindAt(target) == FileKind::kFolder) placed = Remove(target);  // the empty folder CheckStageTarget found
    if (placed) placed = Rename(made, target);
    if (!placed)
      return Failure{Exit::kCannotWrite, "cannot put the stage in place as " + options_.stage + ": " + placed.failure().message};
    partial.path.clear();
    report.stage = options_.stage;
    report.scanCommand = "uninstdat scan " + ShellWord(options_.stage) + " -o manifest.json";
    if (!plan_.captureJson.contains("installFolder")) report.scanCommand += " --install-folder 'C:\\...'";
    return {};
  }

  const CaptureOptions& options_;
  const std::function<void(const std::string&)>& progress_;
  CaptureOutcome* outcome_;
  InstallerInfo installer_;
  uint64_t size_ = 0, hiveTooLarge_ = 0;
  std::string name_, capture_, try_, work_, commandLine_;
  std::map<std::string, std::string> host_;
  CaptureView view_;
  CaptureFacts facts_;
  StagePlan plan_;
};

}  // namespace

std::string ArgumentsProblem(const std::string& arguments) {
  for (char c : arguments)
    if (c == '\0' || c == '\r' || c == '\n') return "holds a line end or a NUL, which no command line carries";
  if (!IsValidUtf8(arguments)) return "is no UTF-8 text";
  return "";
}

std::string ShellWord(const std::string& text) {
  bool plain = !text.empty();
  for (char c : text)
    plain = plain && (isalnum(static_cast<unsigned char>(c)) || std::string("/._-+:,=@%").find(c) != std::string::npos);
  if (plain) return text;
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

CaptureOutcome RunCapture(const CaptureOptions& options, const std::function<void(const std::string&)>& progress) {
  const auto started = Clock::now();
  CaptureOutcome outcome;
  outcome.result = Session(options, progress, &outcome).Run();
  outcome.seconds = std::chrono::duration<double>(Clock::now() - started).count();
  return outcome;
}

}  // namespace uninstdat
