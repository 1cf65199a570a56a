// `uninstdat try`; see try.h.
#include "tools/uninstdat/try.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "tools/uninstdat/analysis.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/io.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/scan.h"
#include "tools/uninstdat/stage.h"
#include "tools/uninstdat/try_report.h"
#include "tools/uninstdat/wine_prefix.h"

namespace uninstdat {
namespace fs = std::filesystem;
namespace {

enum Exit { kClean = 0, kFindings = 1, kUsage = 2, kBadInput = 3, kCannotWrite = 4, kInterrupted = 130 };

volatile sig_atomic_t gSignal = 0;
void OnSignal(int number) { gSignal = number; }

int Fail(int code, const std::string& message) {
  std::cerr << "uninstdat: " << message << "\n";
  return code;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Runs `args` in a process group of its own, its standard output captured
// (or passed on to standard error, where progress goes). Waits at most
// `seconds`; past that, or on a signal, ends the whole group (the sandbox
// and everything in it end with it).
struct ScriptResult {
  int code = -1;
  bool timedOut = false;
  std::string output;
};
ScriptResult RunScript(const std::vector<std::string>& args, int seconds, bool capture) {
  ScriptResult result;
  int pipeFds[2] = {-1, -1};
  if (capture && pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  pid_t child = fork();
  if (child < 0) return result;
  if (child == 0) {
    setpgid(0, 0);
    dup2(capture ? pipeFds[1] : STDERR_FILENO, STDOUT_FILENO);
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  setpgid(child, child);
  if (capture) close(pipeFds[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  bool ending = false;
  auto endAt = deadline;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) {
      result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (capture) {
      pollfd fd = {pipeFds[0], POLLIN, 0};
      if (poll(&fd, 1, 200) > 0) {
        char buffer[4096];
        ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got > 0) result.output.append(buffer, static_cast<size_t>(got));
      }
    } else {
      usleep(200 * 1000);
    }
    auto now = std::chrono::steady_clock::now();
    if (!ending && (now > deadline || gSignal)) {
      result.timedOut = !gSignal;
      kill(-child, SIGTERM);
      ending = true;
      endAt = now + std::chrono::seconds(10);
    } else if (ending && now > endAt) {
      kill(-child, SIGKILL);
    }
  }
  if (capture) {
    char buffer[4096];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
      result.output.append(buffer, static_cast<size_t>(got));
    close(pipeFds[0]);
  }
  return result;
}

// The work folder, removed however the run ends (unless kept).
struct WorkFolder {
  std::string path;
  bool keep = false;
  ~WorkFolder() {
    if (path.empty()) return;
    if (keep) {
      std::cerr << "uninstdat: the work folder stays: " << path << "\n";
      return;
    }
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec) {  // a folder Wine made read-only: make every folder writable, then again
      for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
           !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
      fs::remove_all(path, ec);
    }
  }
};

// The folder of this program, from /proc/self/exe (never the current
// folder, whatever PATH found it by).
std::string OwnFolder() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return "";
  std::string self(buffer, static_cast<size_t>(length));
  return self.substr(0, self.rfind('/'));
}

bool IsReadableFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
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

Snapshot ReadSnapshot(const std::string& folder, std::string* error) {
  Snapshot snapshot;
  if (!ReadFileSnapshot(ReadAll(folder + "/files"), &snapshot.files)) *error = "a snapshot in " + folder + " is cut short";
  ReadWineHive(ReadAll(folder + "/system.reg"), "HKEY_LOCAL_MACHINE", &snapshot.registry);
  ReadWineHive(ReadAll(folder + "/user.reg"), "HKEY_CURRENT_USER", &snapshot.registry);
  ReadWineHive(ReadAll(folder + "/userdef.reg"), "HKEY_USERS\\.DEFAULT", &snapshot.registry);
  return snapshot;
}

const char* FamilyLong(const std::string& family) {
  return family == "nt" ? "the Windows NT family" : family == "98" ? "Windows 98/Me" : "Windows 95";
}
int FamilyNumber(const std::string& family) { return family == "nt" ? 3 : family == "98" ? 2 : 1; }
const char* WineVersionName(const std::string& family) {
  return family == "nt" ? "win10" : family == "98" ? "win98" : "win95";
}

// The report for people: one block per family.
void PrintText(const FamilyReport& report) {
  auto of = [&](const char* record) {
    std::vector<const Json*> found;
    for (const Json& r : report.records)
      if (r["record"] == record) found.push_back(&r);
    return found;
  };
  auto line = [](const Json& r) {
    std::string text = r.contains("kind") ? r["kind"].get<std::string>() + " " : "";
    text += r["path"].get<std::string>();
    if (r.contains("value")) text += " value \"" + r["value"].get<std::string>() + "\"";
    if (r.contains("now")) text += " (now a " + r["now"].get<std::string>() + ")";
    return text;
  };
  auto list = [&](const char* title, const char* record) {
    auto found = of(record);
    std::cout << title << ": " << (found.empty() ? "none" : std::to_string(found.size())) << "\n";
    for (const Json* r : found) std::cout << "  " << line(*r) << "\n";
  };
  std::cout << "== " << FamilyLong(report.records.back()["family"]) << "\n";
  std::cout << "Boxes:\n";
  for (const Json* r : of("box")) std::cout << "  " << (*r)["box"].get<std::string>() << "\n";
  for (const Json* r : of("error")) std::cout << "The run did not end well: " << (*r)["what"].get<std::string>() << "\n";
  list("Staged and still there", "left");
  list("The uninstaller left", "uninstaller-left");
  list("Keys left empty", "left-empty");
  auto unmatched = of("unmatched");
  std::cout << "Removal entries that matched nothing staged (informational: a program may make them at run time): "
            << (unmatched.empty() ? "none" : std::to_string(unmatched.size())) << "\n";
  for (const Json* r : unmatched)
    std::cout << "  entry " << (*r)["entry"].get<size_t>() << ": " << (*r)["path"].get<std::string>() << "\n";
  const Json& restart = *of("restart")[0];
  if (!restart["asked"].get<bool>()) {
    std::cout << "Restart question: not asked\n";
  } else {
    std::cout << "Restart question: asked; deferred: " << restart["deferred"].size() << "\n";
    for (const Json& path : restart["deferred"]) std::cout << "  " << path.get<std::string>() << "\n";
    if (restart.contains("note")) std::cout << "  (" << restart["note"].get<std::string>() << ")\n";
  }
  list("Removed though nobody staged it (the safety report)", "removed-unstaged");
  std::cout << "Result: " << (report.exit ? "something to mend (exit 1)" : "clean (exit 0)") << "\n";
}

}  // namespace

std::string InstallFolderProblem(const std::string& folder) {
  if (folder.size() < 4 || (folder[0] != 'C' && folder[0] != 'c') || folder[1] != ':' || folder[2] != '\\')
    return "the install folder must be an absolute folder on C:, such as C:\\Program Files\\Widget";
  std::string rest = folder.substr(3);
  if (!rest.empty() && rest.back() == '\\') rest.pop_back();
  for (size_t from = 0; from <= rest.size();) {
    size_t slash = std::min(rest.find('\\', from), rest.size());
    std::string name = rest.substr(from, slash - from);
    if (name.empty() || name == "." || name == "..")
      return "the install folder " + folder + " has an empty, \".\" or \"..\" component; name the folder itself";
    if (const char* why = BadWindowsName(name)) return "the install folder's component \"" + name + "\" " + why;
    from = slash + 1;
  }
  return "";
}

std::string LocaleForCodePage(int codePage) {
  static const std::map<int, const char*> kLocales = {
      {874, "th_TH"},  {932, "ja_JP"},  {936, "zh_CN"},  {949, "ko_KR"},  {950, "zh_TW"},
      {1250, "pl_PL"}, {1251, "ru_RU"}, {1252, "en_US"}, {1253, "el_GR"}, {1254, "tr_TR"},
      {1255, "he_IL"}, {1256, "ar_EG"}, {1257, "lt_LT"}, {1258, "vi_VN"}};
  auto it = kLocales.find(codePage);
  return it == kLocales.end() ? "" : std::string(it->second) + ".UTF-8";
}

int RunTry(const TryOptions& options, const std::string& dataFile, const TargetCodePage& page) {
  const auto started = std::chrono::steady_clock::now();
  std::string error;

  // Every input, before any Wine work.
  if (std::string why = InstallFolderProblem(options.installFolder); !why.empty()) return Fail(kUsage, why);
  if (!CheckStage(options.stage, &error)) return Fail(kBadInput, error);
  if (!options.also.empty() && !CheckStage(options.also, &error)) return Fail(kBadInput, "--also: " + error);
  std::string exportText;
  std::vector<RegistryItem> exported, deletions;
  std::string registryPath = options.stage + "/registry.reg";
  if (fs::exists(fs::symlink_status(registryPath))) {
    std::string bytes;
    if (!ReadInput(registryPath, &bytes, &error)) return Fail(kBadInput, error);
    if (!DecodeRegistryExport(bytes, page.converter.number(), &exportText, &error) ||
        !ParseRegistryExport(bytes, page.converter.number(), &exported, &error, &deletions))
      return Fail(kBadInput, "registry.reg: " + error);
    if (!CheckRegistryExport(exported, deletions, &error)) return Fail(kBadInput, error);
  }
  std::string own = OwnFolder();
  const char* tools = getenv("UNINSTDAT_WINE_TOOLS");
  std::string script = (tools && *tools ? std::string(tools) : own + "/wine") + "/try.sh";
  if (!IsReadableFile(script))
    return Fail(kBadInput, "cannot find try's Wine helper " + script +
                               " (it lies in the folder \"wine\" beside uninstdat; UNINSTDAT_WINE_TOOLS names another)");
  std::string uninstaller = options.uninstaller;
  if (uninstaller.empty() && IsReadableFile(own + "/uninst.exe")) uninstaller = own + "/uninst.exe";
  if (!uninstaller.empty() && !IsReadableFile(uninstaller))
    return Fail(kBadInput, "--uninstaller " + uninstaller + " is no file that can be read");
  std::string language = LocaleForCodePage(page.converter.number());
  if (locale_t probe = newlocale(LC_ALL_MASK, language.c_str(), nullptr)) {
    freelocale(probe);
  } else if (page.converter.number() == 1252) {
    language = "C.UTF-8";  // Wine takes 1252 there as well
  } else {
    std::string name = language.substr(0, language.find('.'));
    return Fail(kBadInput, "code page " + std::to_string(page.converter.number()) + " needs the locale " + language +
                               ", which this machine lacks, or Wine runs with 1252; make it (as root) with: "
                               "localedef -i " + name + " -f UTF-8 " + language);
  }

  // Where it all happens, removed however the run ends.
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/uninstdat-try.XXXXXX";
  if (!mkdtemp(&pattern[0])) return Fail(kCannotWrite, "cannot make a work folder: " + std::string(strerror(errno)));
  WorkFolder work{pattern, options.keep};

  // The pristine prefix of this host's Wine, made once and kept.
  const char* xdg = getenv("XDG_CACHE_HOME");
  const char* home = getenv("HOME");
  std::string cache = xdg && *xdg ? std::string(xdg) + "/uninstdat"
                      : home && *home ? std::string(home) + "/.cache/uninstdat"
                                      : work.path + "/cache";
  ScriptResult prepared = RunScript({"bash", script, "prepare", cache}, 600, true);
  if (gSignal) return kInterrupted;
  if (prepared.code != 0)
    return Fail(kBadInput, prepared.timedOut ? "making the pristine prefix took over 10 minutes"
                                             : "Wine cannot run here (the reason is above)");
  std::map<std::string, std::string> host;
  {
    std::istringstream in(prepared.output);
    for (std::string line; std::getline(in, line);)
      if (size_t eq = line.find('='); eq != std::string::npos) host[line.substr(0, eq)] = line.substr(eq + 1);
  }
  if (uninstaller.empty()) uninstaller = host["uninstaller"];
  if (!IsReadableFile(uninstaller))
    return Fail(kBadInput, "no uninst.exe beside uninstdat and none built (" + uninstaller + "); give --uninstaller");
  RegistrySnapshot pristine;
  ReadWineHive(ReadAll(host["prefix"] + "/system.reg"), "HKEY_LOCAL_MACHINE", &pristine);
  ReadWineHive(ReadAll(host["prefix"] + "/user.reg"), "HKEY_CURRENT_USER", &pristine);
  ReadWineHive(ReadAll(host["prefix"] + "/userdef.reg"), "HKEY_USERS\\.DEFAULT", &pristine);
  if (!WriteFile(work.path + "/uninst.dat", dataFile)) return Fail(kCannotWrite, "cannot write in " + work.path);
  DataFileTexts texts = SplitTexts(dataFile);

  std::vector<FamilyReport> reports;
  for (const std::string& family : options.families) {
    const auto familyStarted = std::chrono::steady_clock::now();
    WineView view;
    view.family = FamilyNumber(family);
    view.wow64 = host["wow64"] == "yes";
    view.user = host["user"];
    view.allUsers = texts.allUsers != 0;
    std::string dir = work.path + "/" + family;
    std::string layerPrefix = dir + "/layer/prefix", layerHome = dir + "/layer/home";
    fs::create_directories(layerPrefix);
    fs::create_directories(layerHome);

    // The machine's own files, then the stage, then the uninstaller and its
    // data file in the install folder.
    PrefixLayout layout(host["prefix"], host["home"], layerPrefix, layerHome);
    TryRun run;
    run.family = family;
    run.page = &page;
    std::vector<Placed> also;
    if (!options.also.empty() && !layout.LayOutTree(options.also, view, &also, &error))
      return Fail(kBadInput, "--also: " + error);
    if (!layout.LayOutTree(options.stage, view, &run.staged, &error)) return Fail(kBadInput, "the stage's " + error);
    std::string install = MapStagePath(view, options.installFolder);
    while (install.back() == '\\') install.pop_back();
    if (!layout.Place(install, "", false, &run.installFolder, &error)) return Fail(kUsage, "--install-folder: " + error);
    if (run.installFolder.existed)
      return Fail(kUsage, "--install-folder " + options.installFolder + " is a folder of the machine itself (" +
                              run.installFolder.windowsPath + "); name the product's own folder");
    if (!layout.Place(run.installFolder.windowsPath + "\\uninst.exe", uninstaller, true, &run.uninstaller, &error) ||
        !layout.Place(run.installFolder.windowsPath + "\\uninst.dat", work.path + "/uninst.dat", true, &run.dataFile,
                      &error))
      return Fail(kBadInput, error);
    // An installer leaves its uninstaller writable; a read-only one would
    // keep the self-removal batch deleting it for ever.
    for (const Placed* item : {&run.uninstaller, &run.dataFile})
      fs::permissions(layerPrefix + "/drive_c/" + item->location.path, fs::perms(0644), fs::perm_options::replace);
    std::string hold;
    if (!options.hold.empty()) {
      std::string wanted = UpperAscii(MapStagePath(view, options.hold));
      for (const Placed& item : run.staged)
        if (!item.folder && UpperAscii(item.windowsPath) == wanted) hold = item.windowsPath;
      if (hold.empty()) return Fail(kUsage, "--hold " + options.hold + " is no file of the stage");
    }

    // The registry to import, with Run values made inert and the Windows
    // version the uninstaller is to see.
    std::string version = std::string("[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\uninst.exe]\r\n\"Version\"=\"") +
                          WineVersionName(family) + "\"\r\n";
    run.exported = exported;
    // The paths the uninstaller will list, by its own resolver on this
    // prefix's folders: for the deferred paths and the entries that match
    // nothing staged.
    Target target;
    target.machine = WineMachine(view);
    bool converts = true;
    auto ansi = [&](std::string* text) {
      auto converted = page.converter.ToAnsi(*text);
      converts = converts && converted;
      if (converted) *text = *converted;
    };
    for (std::string* text : {&target.machine.windowsDir, &target.machine.systemDir, &target.machine.tempDir,
                              &target.machine.programFilesDir, &target.machine.commonFilesDir})
      ansi(text);
    for (auto& folder : target.machine.shellFolders) ansi(&folder.second);
    target.exeFolder = run.installFolder.windowsPath;
    ansi(&target.exeFolder);
    if (!converts)
      return Fail(kBadInput, "the install folder or the prefix's user name has characters that code page " +
                                 std::to_string(page.converter.number()) + " cannot carry");
    std::string listed;
    // Every entry's record (no cap: 0), for the paths the run will remove.
    PlanRecords(dataFile, page, target, 0, [&](const Json& record) {
      if (record["record"] != "entry" || record["outcome"] != "listed" || !record.contains("path")) return;
      std::string path = record["path"];
      if (auto bytes = page.converter.ToAnsi(path)) listed += *bytes + "\r\n";
      run.listed.push_back({record["entry"].get<size_t>(), OnDiskPath(view, path)});
    });
    if (!WriteFile(dir + "/import.reg", RegistryImportText(exportText, exported, version)) ||
        !WriteFile(dir + "/listed.txt", listed) || !WriteFile(dir + "/uninstaller.txt", run.uninstaller.windowsPath))
      return Fail(kCannotWrite, "cannot write in " + dir);

    std::cerr << "try: " << family << ": " << FamilyLong(family) << ", " << run.installFolder.windowsPath << "\n";
    ScriptResult ran = RunScript({"bash", script, "run", host["prefix"], host["home"], dir,
                                  options.restart ? "Yes" : "No", std::to_string(options.timeout), language, hold},
                                 3 * options.timeout + 300, false);
    if (gSignal) return kInterrupted;
    if (ran.code != 0 && !ran.timedOut)
      return Fail(kBadInput, "the Wine side of try failed (exit code " + std::to_string(ran.code) + "; the reason is above)");
    run.pristine = pristine;
    run.before = ReadSnapshot(dir + "/before.snap", &error);
    run.after = ReadSnapshot(dir + "/after.snap", &error);
    run.control = ReadSnapshot(dir + "/control.snap", &error);
    run.runOutput = ReadAll(dir + "/run.out");
    run.controlOutput = ReadAll(dir + "/control.out");
    run.importOutput = ReadAll(dir + "/import.out");
    if (ran.timedOut) run.runOutput += "\nerror: timeout: the Wine side did not end in time and was ended\n";
    if (!error.empty()) run.runOutput += "\nerror: " + error + "\n";
    FamilyReport report = CompareRun(run);
    if (report.codePageSeen && report.codePageSeen != page.converter.number())
      return Fail(kBadInput, "Wine ran with code page " + std::to_string(report.codePageSeen) + ", not " +
                                 std::to_string(page.converter.number()) + " (LANG " + language + ")");
    std::cerr << "try: " << family << ": done in " << static_cast<int>(Seconds(familyStarted) + 0.5) << " s\n";
    reports.push_back(std::move(report));
  }

  int code = kClean;
  for (const FamilyReport& report : reports) {
    code = std::max(code, report.exit);
    if (options.json) {
      for (const Json& record : report.records) std::cout << record.dump() << "\n";
    } else {
      PrintText(report);
    }
  }
  if (options.json) std::cout << Json{{"record", "end"}, {"exit", code}}.dump() << "\n";
  std::cout.flush();
  if (!options.junit.empty() && !WriteOutput(options.junit, JUnitXml(reports), &error))
    return Fail(kCannotWrite, error);
  std::cerr << "try: done in " << static_cast<int>(Seconds(started) + 0.5) << " s\n";
  return code;
}

}  // namespace uninstdat
