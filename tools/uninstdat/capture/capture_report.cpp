// What a capture found and what goes into the stage; see capture_report.h.
// How the records name items and show changes is capture_items.cpp's, the
// reading of the runs' accounts capture_accounts.cpp's.
#include "tools/uninstdat/capture/capture_report.h"

#include <algorithm>
#include <set>

#include "tools/uninstdat/capture/capture_report_parts.h"
#include "tools/uninstdat/capture/registry_file.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/stage/stage.h"
#include "tools/uninstdat/try/try_session.h"

namespace uninstdat {
namespace {

// Keys that are Windows Installer's own records, as the installer's
// processes name them.
const char* const kInstallerKeys[] = {
    "HKEY_CLASSES_ROOT\\Installer",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Installer",
};

class Builder {
 public:
  Builder(const CaptureFacts& facts, StagePlan* plan) : facts_(facts), plan_(plan) {}

  CaptureReport Build() {
    report_.installer = facts_.installer;
    report_.installerName = facts_.installerName;
    report_.commandLine = facts_.commandLine;
    report_.family = facts_.family;
    ReadAccounts();
    FindInstallerUninstallKeys();
    Files();
    Registry();
    Choose();
    Caps();
    report_.writesStage = report_.fatal.empty() && !report_.timedOut && report_.cap.empty();
    if (report_.writesStage) Plan();
    std::stable_sort(report_.records.begin(), report_.records.end(), [](const CaptureRecord& a, const CaptureRecord& b) {
      if (a.record != b.record) return a.record < b.record;
      bool aRegistry = a.item == CaptureRecord::kKey || a.item == CaptureRecord::kValue;
      bool bRegistry = b.item == CaptureRecord::kKey || b.item == CaptureRecord::kValue;
      if (aRegistry != bRegistry) return bRegistry;
      if (a.path != b.path) return a.path < b.path;
      return a.value < b.value;
    });
    for (const CaptureRecord& record : report_.records)
      (record.record == CaptureRecord::kCaptured ? report_.captured
       : record.record == CaptureRecord::kLeftOut ? report_.leftOut : report_.notes)++;
    return report_;
  }

  // The run's account and the control run's (capture_accounts.cpp).
  void ReadAccounts() { ReadCaptureAccounts(facts_, &report_); }

  // Uninstall\{...} keys that Windows Installer wrote (WindowsInstaller=1).
  void FindInstallerUninstallKeys() {
    for (const ValueChange& change : facts_.changes.values) {
      std::string key = KeyAsNamed(change.key, facts_.view);
      if (change.after && change.name == "WindowsInstaller" && change.now.type == kRegDword &&
          change.now.data == std::string("\x01\0\0\0", 4) &&
          AtOrBelow(key, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", '\\'))
        installerUninstallKeys_.push_back(key);
    }
  }

  bool IsInstallersKey(const std::string& key) const {
    for (const char* own : kInstallerKeys)
      if (AtOrBelow(key, own, '\\')) return true;
    for (const std::string& own : installerUninstallKeys_)
      if (AtOrBelow(key, own, '\\')) return true;
    return false;
  }

  CaptureRecord& Add(CaptureRecord::Record kind, CaptureRecord::Item item, const std::string& path) {
    CaptureRecord record;
    record.record = kind;
    record.item = item;
    record.path = path;
    report_.records.push_back(record);
    return report_.records.back();
  }

  CaptureRecord& LeaveOut(CaptureRecord::Item item, const std::string& path, const char* reason, const std::string& why,
                          bool note = false) {
    CaptureRecord& record = Add(note ? CaptureRecord::kNote : CaptureRecord::kLeftOut, item, path);
    record.reason = reason;
    record.why = why;
    return record;
  }

  // A file or folder the installer added, to be captured unless a rule
  // leaves it out.
  struct Candidate {
    std::string stage;
    Location where;
    CaptureRecord::Item item;
    StagePlace place;
  };

  void Files() {
    for (const FileChange& change : facts_.changes.files) {
      std::string path = Utf8Escaped(PrefixWindowsPath(change.where, facts_.view));
      if (change.before.type && change.after.type) {
        CaptureRecord& record = LeaveOut(ItemOf(change.after.type), path, "changed",
                                         "the installer changed what was there; a data file may only remove what the "
                                         "installer added, never what the machine had");
        record.old = change.before.type == 'f' ? "sha256:" + change.before.hash : ItemName(ItemOf(change.before.type));
        record.now = change.after.type == 'f' ? "sha256:" + change.after.hash : ItemName(ItemOf(change.after.type));
        auto old = facts_.oldTexts.find(change.where), now = facts_.newTexts.find(change.where);
        if (old != facts_.oldTexts.end() && now != facts_.newTexts.end())
          LineDifference(old->second, now->second, &record.linesAdded, &record.linesRemoved);
        continue;
      }
      if (!change.after.type) {
        CaptureRecord& record = LeaveOut(ItemOf(change.before.type), path, "deleted",
                                         "the installer deleted it; a stage only holds what an installer adds");
        if (change.before.type == 'f' && !change.before.hash.empty()) record.old = "sha256:" + change.before.hash;
        continue;
      }
      CaptureRecord::Item item = ItemOf(change.after.type);
      StagePlace place = PlaceInStage(change.where, facts_.view);
      if (change.after.type != 'f' && change.after.type != 'd') {
        LeaveOut(CaptureRecord::kLink, path, "not-a-file",
                 "a stage holds only files and folders, and Windows programs make no links of this kind");
      } else if (place.kind == StagePlace::kOtherDrive) {
        LeaveOut(item, path, "other-drive", "it lies on another drive than C:, which a stage's machine may not have");
      } else if (place.kind == StagePlace::kProfile) {
        LeaveOut(item, path, "profile",
                 "it lies in a user's profile outside the shell folders, where no folder macro of the data file "
                 "reaches on another machine");
      } else if (place.kind == StagePlace::kOtherView) {
        LeaveOut(item, path, "other-view",
                 std::string("it lies in the folders of ") + (facts_.view.wow64 ? "64-bit" : "32-bit") +
                     " programs, which the stage's view of a " + (facts_.view.wow64 ? "32" : "64") +
                     "-bit installer cannot name");
      } else if (AtOrBelow(change.where.path, "windows/Installer", '/') && change.where.root == "C") {
        LeaveOut(item, path, "windows-installer",
                 "Windows Installer's own record of the package, which a data file must never delete", true);
      } else if (item == CaptureRecord::kFile && !place.shell &&
                 (UpperAscii(BaseName(change.where.path)) == "UNINST.EXE" ||
                  UpperAscii(BaseName(change.where.path)) == "UNINST.DAT")) {
        LeaveOut(item, path, "uninstaller", "the uninstaller and its data file themselves: try lays out its own",
                 true);
        if (UpperAscii(BaseName(change.where.path)) == "UNINST.EXE") {
          uninstallers_.push_back(StageWindowsPath(place.stagePath));
          addedFiles_.push_back(StageWindowsPath(place.stagePath));
        }
      } else if (UpperAscii(place.stagePath) == "FILES/C/WINDOWS/WININIT.INI") {
        LeaveOut(item, path, "scheduled",
                 "WININIT.INI holds what the installer scheduled for a restart; Wine carries it out whenever a "
                 "prefix starts, so try refuses it");
        report_.scheduled.push_back(path);
      } else if (std::string why = StageNameProblem(place.stagePath); !why.empty()) {
        LeaveOut(item, path, "name", "its name " + why);
      } else {
        candidates_.push_back({place.stagePath, change.where, item, place});
      }
    }
    // The shortcuts' users: the data file has one allUsers word for the
    // program group, the Desktop, the Start Menu and Startup (SendTo has
    // only the user's own).
    size_t all = 0, own = 0;
    for (const Candidate& c : candidates_)
      if (c.place.shell && !StartsWith(c.stage, "shell/SendTo/")) (c.place.allUsers ? all : own)++;
    report_.allUsers = all > 0 && all >= own;
    // Two items that Windows takes for one name (the same shortcut for all
    // users and for the user): the one allUsers names stays.
    std::stable_sort(candidates_.begin(), candidates_.end(), [&](const Candidate& a, const Candidate& b) {
      std::string ua = UpperAscii(a.stage), ub = UpperAscii(b.stage);
      if (ua != ub) return ua < ub;
      return (a.place.allUsers == report_.allUsers) > (b.place.allUsers == report_.allUsers);
    });
    std::string last;
    for (const Candidate& c : candidates_) {
      std::string path = Utf8Escaped(PrefixWindowsPath(c.where, facts_.view));
      if (UpperAscii(c.stage) == last) {
        LeaveOut(c.item, path, "clash",
                 "the stage already holds " + c.stage + " from another folder, and Windows takes the two names for one");
        continue;
      }
      last = UpperAscii(c.stage);
      CaptureRecord& record = Add(CaptureRecord::kCaptured, c.item, path);
      record.stage = c.stage;
      captured_.push_back(c);
      if (c.place.shell && !StartsWith(c.stage, "shell/SendTo/") && c.place.allUsers != report_.allUsers)
        report_.otherUsersShortcuts.push_back(path);
      if (!c.place.shell) (c.item == CaptureRecord::kFolder ? addedFolders_ : addedFiles_).push_back(StageWindowsPath(c.stage));
    }
  }

  // Why a stage path's names cannot be in a stage, or empty.
  static std::string StageNameProblem(const std::string& stagePath) {
    size_t from = stagePath.find('/', stagePath.find('/') + 1);  // after files/C or shell/X
    for (from = from == std::string::npos ? stagePath.size() : from + 1; from < stagePath.size();) {
      size_t end = std::min(stagePath.find('/', from), stagePath.size());
      if (std::string why = WindowsNameProblem(stagePath.substr(from, end - from)); !why.empty()) return why;
      from = end + 1;
    }
    return "";
  }

  void Registry() {
    std::map<std::string, std::string> keys;  // upper case to as named: the captured keys
    for (const KeyChange& change : facts_.changes.keys) {
      std::string key = KeyAsNamed(change.key, facts_.view);
      std::string shown = Utf8Escaped(key.empty() ? change.key : key);
      if (!change.added) {
        LeaveOut(CaptureRecord::kKey, shown, "deleted", "the installer deleted it; a stage only holds what an installer adds");
      } else if (key.empty()) {
        LeaveOut(CaptureRecord::kKey, shown, "other-view",
                 "it lies in the 32-bit registry view, which the stage's view of a 64-bit installer cannot name");
      } else if (IsInstallersKey(key)) {
        LeaveOut(CaptureRecord::kKey, shown, "windows-installer",
                 "Windows Installer's own record of the package, which a data file must never delete", true);
      } else if (const char* why = RegistryNameProblem(key)) {
        LeaveOut(CaptureRecord::kKey, shown, "name", std::string("its name ") + why);
      } else if (!keys.emplace(UpperAscii(key), key).second) {
        LeaveOut(CaptureRecord::kKey, shown, "clash", "the stage already holds this key from the other registry view");
      } else {
        Add(CaptureRecord::kCaptured, CaptureRecord::kKey, key).stage = "registry.reg";
        registryKeys_[key];
      }
    }
    std::set<std::pair<std::string, std::string>> values;  // upper-case key, name
    for (const ValueChange& change : facts_.changes.values) {
      std::string key = KeyAsNamed(change.key, facts_.view);
      std::string shown = Utf8Escaped(key.empty() ? change.key : key);
      auto add = [&](const char* reason, const std::string& why, bool note = false) -> CaptureRecord& {
        CaptureRecord& record = LeaveOut(CaptureRecord::kValue, shown, reason, why, note);
        record.value = Utf8Escaped(change.name);
        record.type = RegistryTypeName((change.after ? change.now : change.old).type);
        return record;
      };
      if (change.before && change.after) {
        CaptureRecord& record = add("changed", "the installer changed what was there; a data file may only remove "
                                               "what the installer added, never what the machine had");
        record.old = ValueData(change.old);
        record.now = ValueData(change.now);
        continue;
      }
      if (!change.after) {
        add("deleted", "the installer deleted it; a stage only holds what an installer adds").old = ValueData(change.old);
        continue;
      }
      if (key.empty()) {
        add("other-view", "it lies in the 32-bit registry view, which the stage's view of a 64-bit installer cannot name");
      } else if (IsInstallersKey(key)) {
        add("windows-installer", "Windows Installer's own record of the package, which a data file must never delete",
            true);
      } else if (const char* why = RegistryNameProblem(key) ? RegistryNameProblem(key) : RegistryNameProblem(change.name)) {
        add("name", std::string("its name ") + why);
      } else if (Result<void> checked = CheckRegistryExport({{key, change.name, change.name.empty()}}, {}); !checked) {
        const std::string& refused = checked.failure().message;
        // try's own rule, word for word, so that a captured stage always
        // passes try's input checks.
        bool scheduled = refused.find("Wine's start-up runs these commands") != std::string::npos ||
                         refused.find("renames and deletes what it lists") != std::string::npos;
        // try's words: "registry.reg sets ... under KEY: WHY; a stage is data, ..."
        size_t from = refused.find(" under " + key + ": "), to = refused.find("; a stage is data");
        std::string why = from == std::string::npos ? refused : refused.substr(from + key.size() + 9, to - from - key.size() - 9);
        add(scheduled ? "scheduled" : "refused", "try refuses it: " + why);
        if (scheduled) report_.scheduled.push_back(shown + " \"" + Utf8Escaped(change.name) + "\"");
      } else if (!values.insert({UpperAscii(key), change.name}).second) {
        add("clash", "the stage already holds this value from the other registry view");
      } else {
        CaptureRecord& record = Add(CaptureRecord::kCaptured, CaptureRecord::kValue, key);
        record.value = change.name;
        record.type = RegistryTypeName(change.now.type);
        record.stage = "registry.reg";
        registryKeys_[keys.count(UpperAscii(key)) ? keys[UpperAscii(key)] : key].push_back({change.name, change.now});
      }
    }
  }

  void Choose() {
    report_.installFolder =
        ChooseInstallFolder(facts_.givenInstallFolder, uninstallers_, addedFiles_, addedFolders_);
    if (!report_.installFolder.folder.empty()) report_.installFolderProblem = InstallFolderProblem(report_.installFolder.folder);
  }

  void Caps() {
    if (!report_.cap.empty()) return;
    uint64_t bytes = 0;
    for (const Candidate& c : captured_) {
      auto size = facts_.sizes.find(c.where);
      if (size != facts_.sizes.end()) bytes += size->second;
    }
    size_t keys = 0;
    for (const auto& [key, values] : registryKeys_) keys += 1 + values.size();
    if (captured_.size() > facts_.limits.files) {
      report_.cap = "files";
      report_.capCount = captured_.size();
      report_.capLimit = facts_.limits.files;
    } else if (bytes > facts_.limits.bytes) {
      report_.cap = "bytes";
      report_.capCount = bytes;
      report_.capLimit = facts_.limits.bytes;
    } else if (keys > facts_.limits.keys) {
      report_.cap = "keys";
      report_.capCount = keys;
      report_.capLimit = facts_.limits.keys;
    }
  }

  void Plan() {
    for (const Candidate& c : captured_) {
      if (c.item == CaptureRecord::kFolder) plan_->folders.push_back(c.stage);
      else plan_->files.push_back({c.stage, c.where});
    }
    std::vector<RegistryFileKey> keys;
    for (auto& [key, values] : registryKeys_) {
      std::sort(values.begin(), values.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
      keys.push_back({key, values});
    }
    if (!keys.empty()) plan_->registry = RegistryFileText(keys);
    Json json;
    json["installer"] = Utf8Escaped(facts_.installerName);
    json["bytes"] = facts_.installerBytes;
    json["kind"] = facts_.installer.kind == InstallerKind::kNsis   ? "nsis"
                   : facts_.installer.kind == InstallerKind::kInno ? "inno"
                   : facts_.installer.kind == InstallerKind::kMsi  ? "msi"
                                                                   : "program";
    json["bits"] = facts_.installer.bits;
    json["arguments"] = facts_.arguments;
    json["commandLine"] = facts_.commandLine;
    json["family"] = facts_.family;
    if (!report_.installFolder.folder.empty() && report_.installFolderProblem.empty())
      json["installFolder"] = report_.installFolder.folder;
    json["allUsers"] = report_.allUsers;
    json["restartAsked"] = report_.restartAsked;
    plan_->captureJson = json;
  }

  const CaptureFacts& facts_;
  StagePlan* plan_;
  CaptureReport report_;
  std::vector<Candidate> candidates_, captured_;
  std::vector<std::string> uninstallers_, addedFiles_, addedFolders_, installerUninstallKeys_;
  std::map<std::string, std::vector<std::pair<std::string, RegistryValue>>> registryKeys_;
};

}  // namespace

bool CaptureReport::Clean() const {
  return leftOut == 0 && fatal.empty() && !timedOut && cap.empty() && outlived.empty() && !restartAsked &&
         scheduled.empty() && otherUsersShortcuts.empty() && installerExit == 0 &&
         installFolder.how != InstallFolderChoice::kSeveral && installFolder.how != InstallFolderChoice::kNone &&
         installFolderProblem.empty();
}

CaptureReport BuildCaptureReport(const CaptureFacts& facts, StagePlan* plan) { return Builder(facts, plan).Build(); }

std::string StageWindowsPath(const std::string& stagePath) {
  std::string path = stagePath.substr(std::min(stagePath.size(), sizeof "files/C/" - 1));
  for (char& c : path)
    if (c == '/') c = '\\';
  return "C:\\" + path;
}

}  // namespace uninstdat
