// The report of `try`; see try_report.h.
#include "tools/uninstdat/try/try_report.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

bool Within(const std::string& upper, const std::string& folder) {
  return upper == folder || upper.compare(0, folder.size() + 1, folder + "\\") == 0;
}

// The forms a key of a .reg export takes in Wine's hives: a 32-bit
// program's HKLM\Software is its Wow6432Node, and HKEY_CLASSES_ROOT lies
// under Software\Classes of the machine or the user. Upper case.
std::vector<std::string> HiveForms(const std::string& key) {
  std::string upper = UpperAscii(key);
  size_t backslash = upper.find('\\');
  std::string root = upper.substr(0, backslash);
  std::string rest = backslash == std::string::npos ? "" : upper.substr(backslash);
  if (root == "HKEY_CURRENT_USER") return {"HKEY_CURRENT_USER" + rest};
  if (root == "HKEY_USERS" && rest.compare(0, 10, "\\.DEFAULT\\") == 0) return {"HKEY_USERS" + rest};
  if (root == "HKEY_CLASSES_ROOT")
    return {"HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES" + rest, "HKEY_CURRENT_USER\\SOFTWARE\\CLASSES" + rest,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\WOW6432NODE" + rest};
  if (root == "HKEY_LOCAL_MACHINE") {
    std::vector<std::string> forms = {"HKEY_LOCAL_MACHINE" + rest};
    if (rest.compare(0, 10, "\\SOFTWARE\\") == 0 && rest.compare(0, 18, "\\SOFTWARE\\CLASSES\\") != 0 &&
        rest.compare(0, 19, "\\SOFTWARE\\WOW6432NODE") != 0)
      forms.push_back("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE" + rest.substr(9));
    return forms;
  }
  return {};
}

// Whether a key is one that a fresh Windows already has (Run, Software, ...):
// an export may make one where the pristine prefix lacks it, but it is
// nobody's to remove, so it is neither left nor left empty. Only the key
// itself counts: a key that a product adds below one of Windows' (a verb
// under txtfile, a file type such as .wdg) is the product's, and when it
// stays, the report says so.
bool Shared(const std::string& key) {
  size_t backslash = key.find('\\');
  if (backslash == std::string::npos) return true;  // a root
  std::string root = key.substr(0, backslash), rest = key.substr(backslash + 1);
  if (root == "HKEY_USERS" && UpperAscii(rest).compare(0, 9, ".DEFAULT\\") == 0) {
    root = "HKEY_CURRENT_USER";
    rest = rest.substr(9);
  }
  std::string canonical = CanonicalKey(root + "\\" + rest);
  KeyVerdict verdict = JudgeWholeKey(canonical);
  return !canonical.empty() && verdict.kind == KeyVerdict::kFreshMachine && verdict.owner == canonical;
}

// The lines of the runner's account, in UTF-8.
std::vector<std::string> Lines(const std::string& bytes, const TargetCodePage* page) {
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::optional<std::string> utf8;
    if (page) utf8 = page->converter.ToUtf8(line);
    lines.push_back(utf8 ? *utf8 : Utf8Escaped(line));
  }
  return lines;
}

bool StartsWith(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

TryItem Kind(const FileRecord& record) {
  return record.type == 'd' ? TryItem::kFolder : record.type == 'l' ? TryItem::kLink : TryItem::kFile;
}

}  // namespace

std::string ShowLocation(const Location& location, const FileSnapshot& links) {
  std::string path = location.path;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (location.root != "HOME") return Utf8Escaped(location.root + ":\\" + path);
  // The deepest link of the prefix that leads into HOME names it.
  std::string best, bestWindows;
  for (const auto& [at, record] : links) {
    if (record.type != 'l' || at.root == "HOME") continue;
    std::string rest;
    if (record.target == "/sandbox/home") rest = "";
    else if (StartsWith(record.target, "/sandbox/home/")) rest = record.target.substr(14);
    else continue;
    bool inside = rest.empty() || location.path == rest || StartsWith(location.path, (rest + "/").c_str());
    if (!inside || (!bestWindows.empty() && rest.size() <= best.size())) continue;
    std::string linkPath = at.path;
    std::replace(linkPath.begin(), linkPath.end(), '/', '\\');
    std::string below = location.path.substr(rest.size());
    std::replace(below.begin(), below.end(), '/', '\\');
    if (rest.empty() && !below.empty()) below = "\\" + below;
    best = rest;
    bestWindows = at.root + ":\\" + linkPath + below;
  }
  return Utf8Escaped(bestWindows.empty() ? "Z:\\sandbox\\home" + (path.empty() ? "" : "\\" + path) : bestWindows);
}

namespace {

// Builds one family's report part by part, in the order it is shown.
class ReportMaker {
 public:
  explicit ReportMaker(const TryRun& run) : run_(run), links_(run.before.files) {
    report_.family = run.family;
    own_ = {run.installFolder.location, run.uninstaller.location, run.dataFile.location};
    for (const RegistryItem& item : run.exported)
      for (const std::string& form : HiveForms(item.key)) {
        if (item.value.empty() && !item.defaultValue) {
          if (!Shared(item.key)) wholeKeys_.push_back(form);
          continue;
        }
        values_.push_back(form + "\n" + (item.defaultValue ? "@" : UpperAscii(item.value)));
      }
  }

  FamilyReport Make() {
    RunnerAccounts();
    StagedFiles();
    StagedRegistry();
    Unmatched();
    Restart();
    RemovedUnstaged();
    return std::move(report_);
  }

 private:
  TryRecord& Add(TryRecord::Kind kind) {
    report_.records.emplace_back();
    report_.records.back().kind = kind;
    return report_.records.back();
  }
  void AddItem(TryRecord::Kind kind, TryItem item, std::string path) {
    TryRecord& r = Add(kind);
    r.item = item;
    r.path = std::move(path);
  }
  void AddRegistry(TryRecord::Kind kind, const RegistryName& name) {
    AddItem(kind, name.isValue ? TryItem::kValue : TryItem::kKey, Utf8Escaped(name.key));
    if (name.isValue) report_.records.back().value = Utf8Escaped(name.value);
  }
  void Error(const std::string& what) {
    Add(TryRecord::kError).text = what;
    ++report_.errors;
  }

  // Whether the export made the item (and a pristine prefix lacks it).
  bool IsStaged(const RegistryName& name) const {
    if (run_.pristine.count(name)) return false;
    std::string key = UpperAscii(name.key);
    if (name.isValue && std::count(values_.begin(), values_.end(), key + "\n" + UpperAscii(name.value))) return true;
    for (const std::string& whole : wholeKeys_)
      if (Within(key, whole)) return true;
    return false;
  }

  // The run as the runner told it, and the errors of the import and the
  // control run.
  void RunnerAccounts() {
    bool finished = false;
    std::string lastBox;
    for (const std::string& line : Lines(run_.runOutput, run_.page)) {
      if (StartsWith(line, "box: ")) {
        lastBox = line.substr(5);
        Add(TryRecord::kBox).text = lastBox;
        std::string answer = line.substr(line.rfind("| ") + 2);
        if (answer == "Yes" || answer == "No" || answer == "release:Yes" || answer == "release:No")
          report_.restartAsked = true;
      } else if (StartsWith(line, "deferred: ")) {
        deferred_.push_back(line.substr(10));
      } else if (StartsWith(line, "acp: ")) {
        report_.codePageSeen = std::atoi(line.c_str() + 5);
      } else if (StartsWith(line, "exit: ")) {
        finished = true;
      } else if (StartsWith(line, "error: ")) {
        Error("the run: " + line.substr(7));
      } else if (StartsWith(line, "running: ")) {
        Error("the run: still running then: " + line.substr(9));
      }
    }
    if (!finished && !report_.errors)
      Error("the run: the runner did not report the uninstaller's end (the last box: " +
            (lastBox.empty() ? std::string("none") : lastBox) + ")");
    for (const auto& [name, output] : {std::pair<const char*, const std::string*>{"the import", &run_.importOutput},
                                       {"the control run", &run_.controlOutput}})
      for (const std::string& line : Lines(*output, run_.page))
        if (StartsWith(line, "error: ")) Error(std::string(name) + ": " + line.substr(7));
  }

  // What the stage put there and is left; the uninstaller's own.
  void StagedFiles() {
    for (const Placed& item : run_.staged) {
      if (item.existed) continue;  // a folder of the machine the stage only passes through
      staged_.insert(item.location);
      if (own_.count(item.location) || !run_.after.files.count(item.location)) continue;
      AddItem(TryRecord::kLeft, Kind(run_.after.files.at(item.location)), ShowLocation(item.location, links_));
      ++report_.left;
    }
    for (const Placed* item : {&run_.uninstaller, &run_.dataFile, &run_.installFolder}) {
      if (item->existed || !run_.after.files.count(item->location)) continue;
      AddItem(TryRecord::kUninstallerLeft, item->folder ? TryItem::kFolder : TryItem::kFile,
              ShowLocation(item->location, links_));
      ++report_.uninstallerLeft;
    }
  }

  // What the export created and is left, and keys left empty.
  void StagedRegistry() {
    std::set<std::string> leftKeys;
    for (const RegistryName& name : run_.before.registry) {
      if (!IsStaged(name) || !run_.after.registry.count(name)) continue;
      AddRegistry(TryRecord::kLeft, name);
      ++report_.left;
      if (!name.isValue) leftKeys.insert(name.key);
    }
    const RegistrySnapshot& after = run_.after.registry;
    for (auto it = after.begin(); it != after.end(); ++it) {
      const RegistryName& name = *it;
      if (name.isValue || leftKeys.count(name.key) || run_.pristine.count(name) || !run_.before.registry.count(name) ||
          Shared(name.key))
        continue;
      auto next = std::next(it);  // sorted: the key's own values follow it
      bool values = next != after.end() && next->key == name.key;
      auto sub = after.lower_bound({name.key + "\\", "", false});
      bool subkeys = sub != after.end() && sub->key.compare(0, name.key.size() + 1, name.key + "\\") == 0;
      if (values || subkeys) continue;
      AddRegistry(TryRecord::kLeftEmpty, name);
      ++report_.leftEmpty;
    }
  }

  // Removal entries that matched nothing staged: an application may make
  // such files at run time, so this is no fault, only a hint.
  void Unmatched() {
    std::set<std::string> stagedPaths;
    for (const Placed& item : run_.staged) stagedPaths.insert(UpperAscii(item.windowsPath));
    for (const Placed* item : {&run_.uninstaller, &run_.dataFile, &run_.installFolder})
      stagedPaths.insert(UpperAscii(item->windowsPath));
    for (const auto& [entry, path] : run_.listed) {
      if (stagedPaths.count(UpperAscii(path))) continue;
      TryRecord& r = Add(TryRecord::kUnmatched);
      r.entry = entry;
      r.path = Utf8Escaped(path);
      ++report_.unmatched;
    }
  }

  void Restart() {
    bool restarted = false;
    for (const TryRecord& r : report_.records)
      if (r.kind == TryRecord::kBox && r.text.size() >= 3 && r.text.compare(r.text.size() - 3, 3, "Yes") == 0)
        restarted = true;
    TryRecord& restart = Add(TryRecord::kRestart);
    restart.asked = report_.restartAsked;
    restart.deferred = deferred_;
    if (restarted && run_.family != uninst::kOsNt)
      restart.note = "Wine's restart deletes the files that WININIT.INI names but not its folders; Windows 95 "
                     "and 98 remove those folders too";
  }

  // The safety report: what went though nobody staged it, unless the
  // control run changed the same item in the same way.
  void RemovedUnstaged() {
    for (const auto& [location, record] : run_.before.files) {
      auto after = run_.after.files.find(location);
      if (after != run_.after.files.end() && after->second == record) continue;
      if (staged_.count(location) || own_.count(location)) continue;
      auto control = run_.control.files.find(location);
      bool sameInControl = after == run_.after.files.end()
                               ? control == run_.control.files.end()
                               : control != run_.control.files.end() && control->second == after->second;
      if (sameInControl) continue;
      AddItem(TryRecord::kRemovedUnstaged, Kind(record), ShowLocation(location, links_));
      if (after != run_.after.files.end()) report_.records.back().now = Kind(after->second);  // replaced
      ++report_.removedUnstaged;
    }
    for (const RegistryName& name : run_.before.registry) {
      if (run_.after.registry.count(name) || IsStaged(name) || !run_.control.registry.count(name)) continue;
      AddRegistry(TryRecord::kRemovedUnstaged, name);
      ++report_.removedUnstaged;
    }
  }

  const TryRun& run_;
  const FileSnapshot& links_;
  FamilyReport report_;
  std::set<Location> own_, staged_;
  std::vector<std::string> wholeKeys_, values_;  // upper case, as the hives hold them
  std::vector<std::string> deferred_;
};

}  // namespace

FamilyReport CompareRun(const TryRun& run) { return ReportMaker(run).Make(); }

}  // namespace uninstdat
