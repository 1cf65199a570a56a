// The comparison of two data files; see diff.h. NEW is read first into sets
// (a hash set of paths, a sorted list of whole keys), then OLD is walked once
// per kind and each of its items looked up: n log n at worst, and memory
// linear in NEW whatever OLD holds.
#include "tools/uninstdat/diff/diff.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/registry.h"
#include "engine/shortcuts.h"
#include "tools/uninstdat/entry_evaluator.h"
#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/shell_folders.h"
#include "tools/uninstdat/text_ids.h"

namespace uninstdat {

size_t DiffCounts::total() const {
  size_t n = 0;
  for (size_t count : dropped) n += count;
  return n;
}

DiffCounts& DiffCounts::operator+=(const DiffCounts& other) {
  for (size_t k = 0; k < kDiffKinds; ++k) dropped[k] += other.dropped[k];
  narrowed += other.narrowed;
  return *this;
}

namespace {

// The whole keys of NEW, each with the keys below it. Keys are compared as
// sort keys whose separators are NULs, the smallest byte: then every key
// below K sorts right after K, and the greatest key of the list that is not
// above a key is the only one that can hold it.
class KeyCover {
 public:
  void Add(std::string key) { keys_.push_back(std::move(key)); }
  // Sorts the keys and keeps only those that no other holds.
  void Seal() {
    std::sort(keys_.begin(), keys_.end());
    std::vector<std::string> outer;
    for (std::string& key : keys_)
      if (outer.empty() || !Holds(outer.back(), key)) outer.push_back(std::move(key));
    keys_ = std::move(outer);
  }
  // Whether `key` is one of the keys or lies below one.
  bool Covers(const std::string& key) const {
    auto above = std::upper_bound(keys_.begin(), keys_.end(), key);
    return above != keys_.begin() && Holds(*(above - 1), key);
  }
  // The first of the keys that lies below `key`, or null.
  const std::string* Below(const std::string& key) const {
    auto first = std::upper_bound(keys_.begin(), keys_.end(), key);
    return first != keys_.end() && Holds(key, *first) ? &*first : nullptr;
  }

 private:
  static bool Holds(const std::string& outer, const std::string& key) {
    return key.compare(0, outer.size(), outer) == 0 && (key.size() == outer.size() || key[outer.size()] == '\0');
  }
  std::vector<std::string> keys_;
};

// The list member of the uninstaller's data for a shortcut list or the
// program group.
const char* uninst::UninstallData::*Member(DataText field) { return ShellFolderByList(field)->member; }

// The shortcut lists, in the data file's order: every shell folder's but
// the program group's.
const std::vector<DataText>& ShortcutLists() {
  static const std::vector<DataText> lists = [] {
    std::vector<DataText> out;
    for (int i = 0; i < kShellFolderKindCount; ++i)
      if (ShellFolderKinds()[i].list != DataText::kProgramGroup) out.push_back(ShellFolderKinds()[i].list);
    return out;
  }();
  return lists;
}

// One data file on the target.
class Side {
 public:
  Side(const std::string& bytes, const TargetCodePage& page, const Target& target)
      : texts(SplitTexts(bytes)), evaluator(target, page), session_(target, page) {
    session_.state.data.allUsers = texts.allUsers;
    session_.platform.onShellDelete = [this](const char* path) { deleted_ = path; };
  }
  // What the uninstaller's shortcut removal asks the shell to delete for the
  // one name of a shortcut list, or for the program group: empty when
  // nothing (a refused group, a folder that cannot be had, a path that does
  // not fit).
  const std::string& Resolve(DataText field, std::string_view name) {
    // A name repeated, as in a list of nothing but ";", is resolved once.
    if (resolved_ && field == field_ && name == name_) return deleted_;
    resolved_ = true;
    field_ = field;
    name_.assign(name);
    uninst::UninstallData& data = session_.state.data;
    for (int i = 0; i < kShellFolderKindCount; ++i) data.*(ShellFolderKinds()[i].member) = "";
    item_.assign(name);
    if (field != DataText::kProgramGroup) item_ += ';';
    data.*Member(field) = item_.c_str();
    deleted_.clear();
    uninst::RemoveShortcuts(session_.state);
    return deleted_;
  }

  DataFileTexts texts;
  EntryEvaluator evaluator;

 private:
  MachineSession session_;
  std::string item_, deleted_;
  bool resolved_ = false;  // field_ and name_ hold the last name resolved, deleted_ its path
  DataText field_ = DataText::kProgramGroup;
  std::string name_;
};

class Differ {
 public:
  Differ(const std::string& oldBytes, const std::string& newBytes, const TargetCodePage& page, const Target& target,
         size_t maxPerKind, const std::function<void(const DiffRecord&)>& emit)
      : page_(page), cp_(page.codePage), target_(target), old_(oldBytes, page, target), new_(newBytes, page, target),
        max_(maxPerKind), emit_(emit) {}

  DiffCounts Run() {
    emit_(DiffMachine{target_.machine.family, Utf8(page_, target_.exeFolder)});
    ReadNew();
    Paths();
    Registry();
    Shortcuts();
    return counts_;
  }

 private:
  // Counts a dropped item and gives it while its kind is under the cap.
  void Drop(DiffKind kind, DataText field, size_t item, std::string_view text, std::string_view path,
            std::string_view value = {}) {
    size_t& n = counts_.dropped[static_cast<size_t>(kind)];
    if (!max_ || n < max_)
      emit_(DiffDropped{target_.machine.family, kind, field, item, Utf8(page_, text), Utf8(page_, path),
                        Utf8(page_, value)});
    ++n;
  }
  void Close(DiffKind kind) {
    size_t n = counts_.dropped[static_cast<size_t>(kind)];
    if (max_ && n > max_) emit_(DiffOmitted{target_.machine.family, kind, n - max_});
  }

  // A path as Windows names the file: a-z in upper case (never a trail
  // byte), and "." and ".." components and doubled backslashes resolved,
  // except in a \\?\ or \\.\ path, which Windows takes as it stands.
  std::string PathKey(const std::string& upper) const {
    bool plain = upper.empty() || (upper.find(".\\") == std::string::npos && upper.back() != '.' &&
                                   upper.find("\\\\", 1) == std::string::npos);
    if (plain || IsDevicePath(upper)) return upper;
    bool unc = upper.compare(0, 2, "\\\\") == 0;
    return (unc ? "\\" : "") + NormalizePath(cp_, upper);
  }
  // Whether the shell's deletion of NEW's program group, which goes first
  // and takes the group with all it holds, removes the path `key`.
  bool InGroup(const std::string& key) const {
    return !group_.empty() && key.compare(0, group_.size(), group_) == 0 &&
           (key.size() == group_.size() || key[group_.size()] == '\\');
  }
  // Whether NEW removes the file or folder `key`: as a removal entry, as a
  // shortcut (a file either way), or inside its program group.
  bool NewRemoves(const std::string& key) const { return files_.Contains(key) || InGroup(key); }
  // Whether the outcome removes something: a listed path that can match a
  // file, other than the uninstaller's folder, which its self-removal takes.
  static bool Removes(const EntryOutcome& outcome) {
    EntryReason reason = outcome.reason;
    return outcome.listed && reason != EntryReason::kMatchesNothing && reason != EntryReason::kInstallFolder;
  }

  // NEW's files, folders and program group.
  void ReadNew() {
    EntryOutcome outcome;
    ForEachItem(cp_, new_.texts[DataText::kRemovalEntries], '|', [&](std::string_view e, size_t) {
      new_.evaluator.Evaluate(e.data(), e.data() + e.size(), &outcome);
      if (Removes(outcome)) files_.Intern(PathKey(outcome.upper));
    });
    for (DataText list : ShortcutLists())
      ForEachItem(cp_, new_.texts[list], ';', [&](std::string_view name, size_t) {
        const std::string& path = new_.Resolve(list, name);
        if (!path.empty()) files_.Intern(PathKey(UpperAscii(path, cp_)));
      });
    const std::string& group = new_.Resolve(DataText::kProgramGroup, new_.texts[DataText::kProgramGroup]);
    if (!group.empty()) group_ = PathKey(UpperAscii(group, cp_));
    while (!group_.empty() && cp_.EndsWithSeparator(group_.c_str())) group_.pop_back();  // "Acme\" holds what Acme holds
  }

  void Paths() {
    EntryOutcome outcome;
    ForEachItem(cp_, old_.texts[DataText::kRemovalEntries], '|', [&](std::string_view e, size_t i) {
      old_.evaluator.Evaluate(e.data(), e.data() + e.size(), &outcome);
      if (Removes(outcome) && !NewRemoves(PathKey(outcome.upper)))
        Drop(DiffKind::kPath, DataText::kRemovalEntries, i, e, outcome.path);
    });
    Close(DiffKind::kPath);
  }

  // A key as a sort key: the root's name and the subkey's components in
  // upper case, each ended by a NUL instead of its backslash (found as a
  // character), without trailing ones.
  std::string KeyKey(const uninst::RegistryAction& a) const {
    std::string key = UpperAscii(a.rootName, cp_) + '\0' + a.subkey;
    for (size_t i = 0; i < key.size(); ++i) {
      char& c = key[i];
      if (cp_.IsLead(static_cast<uint8_t>(c))) ++i;
      else if (c == '\\') c = '\0';
      else c = AsciiUpper(c);
    }
    while (key.back() == '\0') key.pop_back();
    return key;
  }
  // Whether lint finds the whole key `key` (code page bytes) sound: one
  // product owns it.
  bool OwnedByOneProduct(const std::string& key) const {
    auto utf8 = page_.converter.ToUtf8(key);
    return utf8 && JudgeWholeKey(*utf8).kind == KeyVerdict::kProduct;
  }
  // A value as a set key: its key's sort key, two NULs (a value's name holds
  // none) and the name in upper case.
  std::string ValueKey(const uninst::RegistryAction& a) const {
    return KeyKey(a) + std::string(2, '\0') + UpperAscii(a.valueName, cp_);
  }
  // Calls visit(entry, index, action) for each entry of the list that
  // deletes something, read as the uninstaller reads it.
  template <typename Visit>
  void ForEachRegistryAction(const Side& side, Visit visit) {
    std::string copy;
    ForEachItem(cp_, side.texts[DataText::kRegistryList], '|', [&](std::string_view e, size_t i) {
      copy.assign(e);
      uninst::RegistryAction action;
      if (uninst::ReadRegistryEntry(cp_, &copy[0], &action) != uninst::kRegistryEntryActs) return;
      if (!action.deleteTree && !*action.subkey) return;  // a value under a root itself is never deleted
      visit(e, i, action);
    });
  }

  void Registry() {
    KeyCover whole;
    TextIds values;
    std::unordered_map<std::string, std::string> names;  // NEW's whole keys: sort key to the key as written
    ForEachRegistryAction(new_, [&](std::string_view, size_t, const uninst::RegistryAction& a) {
      if (!a.deleteTree) return values.Intern(ValueKey(a)), void();
      whole.Add(KeyKey(a));
      names.emplace(KeyKey(a), std::string(a.rootName) + "\\" + a.subkey);
    });
    whole.Seal();
    std::vector<DiffNarrowed> narrowed;
    for (bool keys : {true, false}) {
      ForEachRegistryAction(old_, [&](std::string_view e, size_t i, const uninst::RegistryAction& a) {
        if (a.deleteTree != keys || whole.Covers(KeyKey(a)) || (!keys && values.Contains(ValueKey(a)))) return;
        std::string key = std::string(a.rootName) + "\\" + a.subkey;
        if (keys) {
          if (const std::string* below = whole.Below(KeyKey(a)); below && !OwnedByOneProduct(key)) {
            narrowed.push_back({target_.machine.family, i, Utf8(page_, e), Utf8(page_, key), Utf8(page_, names[*below])});
            return;
          }
        }
        Drop(keys ? DiffKind::kKey : DiffKind::kValue, DataText::kRegistryList, i, e, key, keys ? "" : a.valueName);
      });
      Close(keys ? DiffKind::kKey : DiffKind::kValue);
    }
    for (const DiffNarrowed& note : narrowed) emit_(note);
    counts_.narrowed += narrowed.size();
  }

  void Shortcuts() {
    for (DataText list : ShortcutLists())
      ForEachItem(cp_, old_.texts[list], ';', [&](std::string_view name, size_t i) {
        const std::string& path = old_.Resolve(list, name);
        if (!path.empty() && !NewRemoves(PathKey(UpperAscii(path, cp_))))
          Drop(DiffKind::kShortcut, list, i, name, path);
      });
    Close(DiffKind::kShortcut);
    std::string_view oldGroup = old_.texts[DataText::kProgramGroup];
    const std::string& path = old_.Resolve(DataText::kProgramGroup, oldGroup);
    if (!path.empty() && !InGroup(PathKey(UpperAscii(path, cp_))))
      Drop(DiffKind::kGroup, DataText::kProgramGroup, 0, oldGroup, path);
    Close(DiffKind::kGroup);
  }

  const TargetCodePage& page_;
  const uninst::CodePage& cp_;
  const Target& target_;
  Side old_, new_;
  size_t max_;
  const std::function<void(const DiffRecord&)>& emit_;
  DiffCounts counts_;
  TextIds files_;      // NEW's removal paths and shortcut files, as path keys
  std::string group_;  // NEW's program group as a path key, empty when it deletes nothing
};

}  // namespace

DiffCounts DiffRecords(const std::string& oldBytes, const std::string& newBytes, const TargetCodePage& page,
                       const Target& target, size_t maxPerKind, const std::function<void(const DiffRecord&)>& emit) {
  return Differ(oldBytes, newBytes, page, target, maxPerKind, emit).Run();
}

}  // namespace uninstdat
