// The report of `try`; see try_report.h.
#include "tools/uninstdat/try/try_report.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

bool Within(const std::string& upper, const std::string& folder) {
  return upper == folder || upper.compare(0, folder.size() + 1, folder + "\\") == 0;
}

// Whether `path` matches `pattern` whose last name holds * or ? (as
// DeleteFile's search for a pattern matches): the folders the same, the
// last names by the pattern. Both in upper case.
bool MatchesPattern(const std::string& path, const std::string& pattern) {
  size_t slash = pattern.rfind('\\');
  if (pattern.find_first_of("*?") == std::string::npos || pattern.find_first_of("*?") < slash + 1) return false;
  if (path.size() <= slash || path.compare(0, slash + 1, pattern, 0, slash + 1) != 0) return false;
  std::string name = path.substr(slash + 1), glob = pattern.substr(slash + 1);
  if (name.find('\\') != std::string::npos) return false;
  // Backtracking on the last star: linear for patterns with one star.
  size_t n = 0, g = 0, star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (g < glob.size() && (glob[g] == '?' || glob[g] == name[n])) ++n, ++g;
    else if (g < glob.size() && glob[g] == '*') star = g++, mark = n;
    else if (star != std::string::npos) g = star + 1, n = ++mark;
    else return false;
  }
  while (g < glob.size() && glob[g] == '*') ++g;
  return g == glob.size();
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
  // The fresh machine's list holds HKEY_CLASSES_ROOT two levels deep and
  // judges a deeper key by its ancestor there; here the pristine prefix
  // speaks for those, so a deeper key it lacks (a verb) is the product's.
  if (canonical.compare(0, 18, "HKEY_CLASSES_ROOT\\") == 0 && std::count(canonical.begin(), canonical.end(), '\\') > 2)
    return false;
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
          // A vendor's key holds other products too: only the keys below
          // it that the export names are staged whole.
          if (JudgeWholeKey(item.key).kind == KeyVerdict::kVendor) keys_.insert(form);
          else if (!Shared(item.key)) wholeKeys_.push_back(form);
          continue;
        }
        values_.push_back(form + "\n" + (item.defaultValue ? "@" : UpperAscii(item.value)));
      }
    for (size_t i = 0; i < run.mustStay.size(); ++i) {
      const MustStay& m = run.mustStay[i];
      if (m.file) mustStayFiles_[m.file->location] = i;
      if (m.item)  // a key itself, or one value of it
        for (const std::string& form : HiveForms(m.item->key)) mustStayKeys_[form + "\n" + UpperAscii(m.item->value)] = i;
    }
  }

  FamilyReport Make() {
    RunnerAccounts();
    Canaries();
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
    if (run_.pristine.count(name) || MustStayOf(name)) return false;
    std::string key = UpperAscii(name.key);
    if (!name.isValue && keys_.count(key)) return true;
    if (name.isValue && std::count(values_.begin(), values_.end(), key + "\n" + UpperAscii(name.value))) return true;
    for (const std::string& whole : wholeKeys_)
      if (Within(key, whole)) return true;
    return false;
  }

  // The item laid out beside the stage that `name` is, or null.
  const MustStay* MustStayOf(const RegistryName& name) const {
    auto it = mustStayKeys_.find(UpperAscii(name.key) + "\n" + (name.isValue ? UpperAscii(name.value) : ""));
    return it == mustStayKeys_.end() ? nullptr : &run_.mustStay[it->second];
  }
  const MustStay* MustStayOf(const Location& location) const {
    auto it = mustStayFiles_.find(location);
    return it == mustStayFiles_.end() ? nullptr : &run_.mustStay[it->second];
  }

  // Whether `location` holds anything after the run.
  bool HoldsAnything(const Location& location) const {
    auto it = run_.after.files.lower_bound({location.root, location.path + "/"});
    return it != run_.after.files.end() && it->first.root == location.root &&
           it->first.path.compare(0, location.path.size() + 1, location.path + "/") == 0;
  }
  bool KeyHoldsAnything(const std::string& key) const {
    auto it = run_.after.registry.upper_bound({key, "", false});
    if (it != run_.after.registry.end() && it->key == key) return true;  // a value of its own
    it = run_.after.registry.lower_bound({key + "\\", "", false});
    return it != run_.after.registry.end() && it->key.compare(0, key.size() + 1, key + "\\") == 0;
  }

  // A folder the stage made that the data file's format cannot remove:
  // one that holds the install folder (the self-removal takes only its own
  // folder) or the product's program group (only the group itself goes).
  bool AboveTheProduct(const Placed& item) const {
    std::string folder = UpperAscii(item.windowsPath) + "\\";
    for (const std::string* inner : {&run_.installFolder.windowsPath, &run_.programGroup})
      if (!inner->empty() && UpperAscii(*inner).compare(0, folder.size(), folder) == 0) return true;
    return false;
  }
  void Note(TryItem item, const std::string& path, const char* why) {
    AddItem(TryRecord::kNote, item, path);
    report_.records.back().note = why;
    ++report_.notes;
  }

  void Canaries() {
    if (!run_.canariesLaid) return;
    TryRecord& r = Add(TryRecord::kCanaries);
    for (const MustStay& m : run_.mustStay)
      for (size_t k = 0; k < kCanaryKinds; ++k)
        if (m.laidBy == CanaryKindName(static_cast<CanaryKind>(k)) && !(m.item && m.item->value.empty()))
          ++r.canaries[k];
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
      if (item.folder && AboveTheProduct(item)) {
        Note(TryItem::kFolder, ShowLocation(item.location, links_),
             HoldsAnything(item.location)
                 ? "a folder above the product's own folder or group, not empty: what it holds is another "
                   "product's, or reported on its own"
                 : "a folder above the product's own folder or group, left empty: a data file removes only the "
                   "product's own, since this one may hold another product's");
        continue;
      }
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
      if (!name.isValue && IsVendorKey(name.key)) {
        VendorKeyLeft(name);
        continue;
      }
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
      if (IsVendorKey(name.key)) {
        VendorKeyLeft(name);
        continue;
      }
      AddRegistry(TryRecord::kLeftEmpty, name);
      ++report_.leftEmpty;
    }
  }

  // A vendor's key (Software\<Vendor>, as a hive names it) that the stage
  // made: no sound data file deletes it whole.
  static bool IsVendorKey(const std::string& hiveKey) {
    std::string key = hiveKey;
    if (UpperAscii(key).compare(0, 19, "HKEY_USERS\\.DEFAULT\\") == 0) key = "HKEY_CURRENT_USER" + key.substr(18);
    return JudgeWholeKey(key).kind == KeyVerdict::kVendor;
  }
  void VendorKeyLeft(const RegistryName& name) {
    if (!noted_.insert(UpperAscii(name.key)).second) return;
    AddRegistry(TryRecord::kNote, name);
    report_.records.back().note =
        KeyHoldsAnything(name.key)
            ? "a vendor's key, not empty: what it holds is another product's, or reported on its own"
            : "a vendor's key, left empty: a data file lists the product's own key below it, since other "
              "products of the vendor keep theirs beside it";
    ++report_.notes;
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
      if (const MustStay* m = MustStayOf(location)) Taken(*m, ShowLocation(location, links_), nullptr);
      ++report_.removedUnstaged;
    }
    for (const RegistryName& name : run_.before.registry) {
      if (run_.after.registry.count(name) || IsStaged(name) || !run_.control.registry.count(name)) continue;
      AddRegistry(TryRecord::kRemovedUnstaged, name);
      if (const MustStay* m = MustStayOf(name)) Taken(*m, "", &name);
      ++report_.removedUnstaged;
    }
  }

  // Who laid the item the last record names, and which entry took it: the
  // first that names it, a folder or key above it, or a pattern it matches.
  void Taken(const MustStay& m, const std::string& path, const RegistryName* name) {
    TryRecord& r = report_.records.back();
    r.laidBy = m.laidBy;
    for (const RunTaker& t : run_.takers) {
      bool takes = false;
      if (!name && (t.kind == RunTaker::kPath || t.kind == RunTaker::kTree)) {
        std::string target = UpperAscii(t.path), item = UpperAscii(path);
        takes = target == item || (t.kind == RunTaker::kTree && Within(item, target)) || MatchesPattern(item, target);
      } else if (name && (t.kind == RunTaker::kKey || t.kind == RunTaker::kValue)) {
        for (const std::string& form : HiveForms(t.key))
          takes = takes || (t.kind == RunTaker::kKey ? Within(UpperAscii(name->key), form)
                                                     : form == UpperAscii(name->key) && name->isValue &&
                                                           UpperAscii(t.value) == UpperAscii(name->value));
      }
      if (takes) {
        r.takenBy = t.entry;
        return;
      }
    }
  }

  const TryRun& run_;
  const FileSnapshot& links_;
  FamilyReport report_;
  std::set<Location> own_, staged_;
  std::vector<std::string> wholeKeys_, values_;  // upper case, as the hives hold them
  std::set<std::string> keys_;                  // the export's vendor keys themselves, upper case
  std::map<Location, size_t> mustStayFiles_;     // canaries and --also's files: their index in run_.mustStay
  std::map<std::string, size_t> mustStayKeys_;   // and keys ("KEY\n") and values ("KEY\nVALUE"), upper case
  std::set<std::string> noted_;                  // vendor keys reported, upper case
  std::vector<std::string> deferred_;
};

}  // namespace

FamilyReport CompareRun(const TryRun& run) { return ReportMaker(run).Make(); }

}  // namespace uninstdat
