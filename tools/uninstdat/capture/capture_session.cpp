// `uninstdat capture`'s session; see capture_session.h.
#include "tools/uninstdat/capture/capture_session.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/uninstdat/capture/shortcut_times.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/families.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/stage/registry_export.h"
#include "tools/uninstdat/stage/stage.h"
#include "tools/uninstdat/system/io.h"
#include "tools/uninstdat/system/process.h"
#include "tools/uninstdat/try/try_session.h"

namespace uninstdat {
namespace fs = std::filesystem;
namespace {

using Clock = std::chrono::steady_clock;

// Why the session stopped.
struct Stop {
  CaptureOutcome::Failure failure = CaptureOutcome::kNone;
  std::string message;
  explicit operator bool() const { return failure != CaptureOutcome::kNone; }
};
Stop Failed(CaptureOutcome::Failure failure, const std::string& message) { return {failure, message}; }

// A folder removed however the capture ends (unless kept), read-only
// folders that Wine or the installer left included.
struct Removed {
  std::string path;
  bool keep = false;
  ~Removed() {
    if (path.empty() || keep) return;
    std::error_code ec;
    fs::remove_all(path, ec);
    if (!ec) return;
    for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory(ec) && !it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
  }
};

bool IsShortcut(const std::string& path) {
  return path.size() > 4 && UpperAscii(path.substr(path.size() - 4)) == ".LNK";
}

std::string ReadAll(const std::string& path) {
  std::string bytes, error;
  ReadInput(path, &bytes, &error);
  return bytes;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out.flush());
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
Stop CheckStageTarget(const std::string& stage) {
  std::error_code ec;
  fs::file_status status = fs::symlink_status(stage, ec);
  if (fs::exists(status)) {
    if (!fs::is_directory(status))
      return Failed(CaptureOutcome::kCannotWrite, "the stage " + stage + " exists and is no folder; name a new one");
    if (!fs::is_empty(stage, ec) || ec)
      return Failed(CaptureOutcome::kCannotWrite,
                    "the stage " + stage + " is not empty; capture writes only a new or an empty folder");
  }
  fs::path parent = fs::absolute(stage, ec).parent_path();
  fs::create_directories(parent, ec);
  if (ec || !fs::is_directory(parent, ec))
    return Failed(CaptureOutcome::kCannotWrite, "cannot make the folder " + parent.string() + " for the stage");
  return {};
}

class Session {
 public:
  Session(const CaptureOptions& options, const std::function<void(const std::string&)>& progress, CaptureOutcome* outcome)
      : options_(options), progress_(progress), outcome_(outcome) {}

  Stop Run() {
    if (Stop stop = CheckArguments()) return stop;
    if (Stop stop = Recognize()) return stop;
    if (Stop stop = FindHelpers()) return stop;
    if (Stop stop = CheckBits()) return stop;
    CatchInterrupts();
    std::string tmp = Environment("TMPDIR"), path, error;
    if (!MakeTemporaryFolder(tmp.empty() ? "/tmp" : tmp, "uninstdat-capture.", &path, &error))
      return Failed(CaptureOutcome::kCannotWrite, "cannot make a work folder: " + error);
    Removed work{path, options_.keep};
    work_ = path;
    if (options_.keep) outcome_->keptFolder = path;
    if (Stop stop = Prepare()) return stop;
    if (Stop stop = LayOutInputs()) return stop;
    if (Stop stop = RunWineSide()) return stop;
    if (Stop stop = Read()) return stop;
    return WriteStage();
  }

 private:
  Stop CheckArguments() {
    if (!options_.installFolder.empty())
      if (std::string why = InstallFolderProblem(options_.installFolder); !why.empty())
        return Failed(CaptureOutcome::kBadArgument, "--install-folder: " + why);
    if (std::string why = ArgumentsProblem(options_.arguments); !why.empty())
      return Failed(CaptureOutcome::kBadArgument, "--args: " + why);
    return CheckStageTarget(options_.stage);
  }

  Stop Recognize() {
    std::error_code ec;
    if (!fs::is_regular_file(options_.installer, ec) || !IsReadableFile(options_.installer))
      return Failed(CaptureOutcome::kUnusable, "the installer " + options_.installer + " is no file that can be read");
    size_ = fs::file_size(options_.installer, ec);
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
    std::string why;
    if (!RecognizeInstaller(source, &installer_, &why))
      return Failed(CaptureOutcome::kUnusable, "the installer " + options_.installer + ": " + why);
    name_ = fs::path(options_.installer).filename().string();
    if (BadWindowsName(name_)) name_ = installer_.kind == InstallerKind::kMsi ? "installer.msi" : "installer.exe";
    return {};
  }

  Stop FindHelpers() {
    std::string tools = Environment("UNINSTDAT_WINE_TOOLS");
    if (tools.empty()) tools = OwnFolder() + "/wine";
    capture_ = tools + "/capture.sh";
    try_ = tools + "/try.sh";
    for (const std::string& script : {capture_, try_})
      if (!IsReadableFile(script))
        return Failed(CaptureOutcome::kUnusable, "cannot find capture's Wine helper " + script +
                                                     " (it lies in the folder \"wine\" beside uninstdat; "
                                                     "UNINSTDAT_WINE_TOOLS names another)");
    return {};
  }

  // A 32-bit program cannot start where only 64-bit Wine runs: refused
  // before any prefix is made.
  Stop CheckBits() {
    ScriptResult bits = RunScript({"bash", capture_, "bits"}, 60, true);
    if (Interrupted()) return Failed(CaptureOutcome::kInterrupted, "");
    std::string wine = KeyValues(bits.output)["bits"];
    if (bits.code != 0 || (wine != "32" && wine != "64"))
      return Failed(CaptureOutcome::kUnusable, "Wine cannot run here (the reason is above)");
    if (wine == "64" && installer_.bits == 32)
      return Failed(CaptureOutcome::kUnusable,
                    "the installer " + options_.installer + " is a 32-bit " +
                        (installer_.kind == InstallerKind::kMsi ? "package" : "program") +
                        ", and only 64-bit Wine runs here (this host does not execute 32-bit programs, or UNINST_WINE=64 "
                        "chose it), where a 32-bit installer and its 32-bit code cannot run; capture its 64-bit build, "
                        "or capture on a host that runs 32-bit programs");
    return {};
  }

  Stop Prepare() {
    std::string xdg = Environment("XDG_CACHE_HOME"), home = Environment("HOME");
    std::string cache = !xdg.empty() ? xdg + "/uninstdat" : !home.empty() ? home + "/.cache/uninstdat" : work_ + "/cache";
    ScriptResult prepared = RunScript({"bash", try_, "prepare", cache}, 600, true);
    if (Interrupted()) return Failed(CaptureOutcome::kInterrupted, "");
    if (prepared.code != 0)
      return Failed(CaptureOutcome::kUnusable, prepared.timedOut ? "making the pristine prefix took over 10 minutes"
                                                                 : "Wine or its sandbox cannot run here (the reason is above)");
    host_ = KeyValues(prepared.output);
    view_.user = host_["user"];
    view_.wow64 = installer_.bits == 32 && host_["wow64"] == "yes";
    return {};
  }

  Stop LayOutInputs() {
    std::error_code ec;
    fs::create_directories(work_ + "/input/installer", ec);
    fs::copy_file(options_.installer, work_ + "/input/installer/" + name_, ec);
    if (ec) return Failed(CaptureOutcome::kCannotWrite, "cannot copy the installer into " + work_ + ": " + ec.message());
    commandLine_ = InstallerCommandLine(installer_.kind, "Z:\\sandbox\\input\\installer\\" + name_, options_.arguments);
    bool written = WriteFile(work_ + "/input/command.txt", commandLine_);
    if (options_.family != uninst::kOsNt) {
      // The Windows version every program of the prefix sees, set before the
      // run and the control run alike.
      std::string version = options_.family == uninst::kOsWin98 ? "win98" : "win95";
      std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine]\r\n\"Version\"=\"" +
                         version + "\"\r\n";
      written = written && WriteFile(work_ + "/import.reg", "\xFF\xFE" + Utf8ToUtf16Le(text));
    }
    if (!written) return Failed(CaptureOutcome::kCannotWrite, "cannot write in " + work_);
    return {};
  }

  Stop RunWineSide() {
    std::string language = LocaleForCodePage(1252);
    if (!HasLocale(language)) language = "C.UTF-8";  // Wine takes 1252 there as well
    progress_("capture: " + name_ + ", " + InstallerKindName(installer_.kind) + " (" + std::to_string(installer_.bits) +
              "-bit), on " + (options_.family == uninst::kOsNt ? "the Windows NT family" : FamilyLongName(options_.family)));
    ScriptResult ran = RunScript({"bash", capture_, "run", host_["prefix"], host_["home"], work_,
                                  std::to_string(options_.timeout), language, std::to_string(options_.limits.files),
                                  std::to_string(options_.limits.bytes)},
                                 options_.timeout + 600, false);
    if (Interrupted()) return Failed(CaptureOutcome::kInterrupted, "");
    if (ran.timedOut) return Failed(CaptureOutcome::kUnusable, "the Wine side of capture did not end in time and was ended");
    if (ran.code != 0)
      return Failed(CaptureOutcome::kUnusable,
                    "the Wine side of capture failed (exit code " + std::to_string(ran.code) + "; the reason is above)");
    return {};
  }

  // One snapshot: the listing, the hashes of each root, the three hives.
  // A hive too large to read is the keys cap.
  bool ReadSnapshot(const std::string& name, CaptureSnapshot* snapshot, std::string* error) {
    std::string folder = work_ + "/" + name + ".snap";
    if (!ReadFileSnapshot(ReadAll(folder + "/files"), &snapshot->files)) return *error = "the listing " + folder + "/files is cut short", false;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::string file = it->path().filename().string();
      if (file.compare(0, 7, "hashes.") != 0) continue;
      if (!ReadSha256Sums(ReadAll(it->path().string()), file.substr(7), &snapshot->hashes))
        return *error = "the hashes " + it->path().string() + " are cut short", false;
    }
    const std::pair<const char*, const char*> hives[] = {
        {"system.reg", "HKEY_LOCAL_MACHINE"}, {"user.reg", "HKEY_CURRENT_USER"}, {"userdef.reg", "HKEY_USERS\\.DEFAULT"}};
    for (const auto& [file, root] : hives) {
      std::string path = folder + "/" + file, bytes, why;
      if (fs::file_size(path, ec) > kMaxInputBytes) {
        hiveTooLarge_ = fs::file_size(path, ec);
        continue;
      }
      if (!ReadInput(path, &bytes, &why)) return *error = why, false;
      if (!ReadWineHiveValues(bytes, root, &snapshot->registry, &why)) return *error = path + ": " + why, false;
    }
    return true;
  }

  Stop Read() {
    CaptureSnapshot before, after, control;
    std::string error;
    facts_.account = ReadAll(work_ + "/run.out");
    facts_.controlAccount = ReadAll(work_ + "/control.out");
    facts_.scriptCap = ReadAll(work_ + "/cap");
    if (!ReadSnapshot("before", &before, &error) || !ReadSnapshot("after", &after, &error) ||
        !ReadSnapshot("control", &control, &error))
      return Failed(CaptureOutcome::kUnusable, "what the run left cannot be read: " + error);
    if (hiveTooLarge_ && facts_.scriptCap.empty())
      facts_.scriptCap = "keys " + std::to_string(hiveTooLarge_) + " " + std::to_string(kMaxInputBytes);
    facts_.installer = installer_;
    facts_.installerName = fs::path(options_.installer).filename().string();
    facts_.installerBytes = size_;
    facts_.arguments = options_.arguments;
    facts_.commandLine = commandLine_;
    facts_.family = FamilyWord(options_.family);
    facts_.view = view_;
    facts_.changes = CompareCapture(before, after, control);
    facts_.givenInstallFolder = options_.installFolder;
    facts_.limits = options_.limits;
    std::error_code ec;
    for (const FileChange& change : facts_.changes.files) {
      std::string now = Copied("after", change.where), old = Copied("before", change.where);
      if (change.after.type == 'f') {
        uintmax_t size = fs::file_size(now, ec);
        if (!ec) facts_.sizes[change.where] = size;
      }
      if (change.before.type == 'f' && change.after.type == 'f') {
        // A small text file's lines, for the report of what changed.
        const uintmax_t kText = 64 << 10;
        if (fs::file_size(old, ec) <= kText && !ec && fs::file_size(now, ec) <= kText && !ec) {
          std::string a = ReadAll(old), b = ReadAll(now);
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
      return Failed(CaptureOutcome::kUnusable, "the capture cannot be trusted, so no stage was written: " + why);
    }
    return {};
  }

  // Where capture.sh copied a file the run touched, as it was `when`
  // ("before" or "after").
  std::string Copied(const char* when, const Location& where) const {
    return work_ + "/" + when + ".files/" + where.root + "/" + where.path;
  }

  // The stage, made whole in a folder beside it and then renamed into place.
  Stop WriteStage() {
    CaptureReport& report = outcome_->report;
    if (!report.writesStage) return {};
    fs::path target = fs::absolute(options_.stage);
    std::string made, error;
    if (!MakeTemporaryFolder(target.parent_path().string(), "." + target.filename().string() + ".capture.", &made, &error))
      return Failed(CaptureOutcome::kCannotWrite, "cannot write the stage beside " + options_.stage + ": " + error);
    Removed partial{made, false};
    std::error_code ec;
    fs::permissions(made, fs::perms(0755), fs::perm_options::replace, ec);
    for (const std::string& folder : plan_.folders) {
      fs::create_directories(made + "/" + folder, ec);
      if (ec) return Failed(CaptureOutcome::kCannotWrite, "cannot make " + made + "/" + folder + ": " + ec.message());
    }
    for (const auto& [path, where] : plan_.files) {
      std::string destination = made + "/" + path;
      fs::create_directories(fs::path(destination).parent_path(), ec);
      if (!ec) fs::copy_file(Copied("after", where), destination, fs::copy_options::overwrite_existing, ec);
      if (!ec && IsShortcut(path)) {
        // The shell's times of the install are no part of what it installed.
        std::string bytes = ReadAll(destination);
        if (!WriteFile(destination, ShortcutWithoutTimes(bytes)))
          return Failed(CaptureOutcome::kCannotWrite, "cannot write " + destination);
      }
      if (!ec) fs::permissions(destination, fs::perms(0644), fs::perm_options::replace, ec);
      if (ec) return Failed(CaptureOutcome::kCannotWrite, "cannot write " + destination + ": " + ec.message());
    }
    for (auto it = fs::recursive_directory_iterator(made, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory()) fs::permissions(it->path(), fs::perms(0755), fs::perm_options::replace, ec);
    if (!plan_.registry.empty() && !WriteFile(made + "/registry.reg", plan_.registry))
      return Failed(CaptureOutcome::kCannotWrite, "cannot write " + made + "/registry.reg");
    if (!WriteFile(made + "/capture.json", plan_.captureJson.dump(2) + "\n"))
      return Failed(CaptureOutcome::kCannotWrite, "cannot write " + made + "/capture.json");
    // What try will check, checked: a stage that try refuses was never
    // written by capture.
    if (!CheckStage(made, &error)) return Failed(CaptureOutcome::kUnusable, "the stage would not pass try's checks: " + error);
    if (!plan_.registry.empty()) {
      std::vector<RegistryItem> items, deletions;
      if (!ParseRegistryExport(plan_.registry, 1252, &items, &error, &deletions) ||
          !CheckRegistryExport(items, deletions, &error))
        return Failed(CaptureOutcome::kUnusable, "registry.reg would not pass try's checks: " + error);
    }
    ec.clear();
    if (fs::is_directory(fs::symlink_status(target))) fs::remove(target, ec);  // the empty folder CheckStageTarget found
    if (!ec) fs::rename(made, target, ec);
    if (ec) return Failed(CaptureOutcome::kCannotWrite, "cannot put the stage in place as " + options_.stage + ": " + ec.message());
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
  Stop stop = Session(options, progress, &outcome).Run();
  outcome.failure = stop.failure;
  outcome.message = stop.message;
  outcome.seconds = std::chrono::duration<double>(Clock::now() - started).count();
  return outcome;
}

}  // namespace uninstdat
