// Lint; see lint.h. One pass per text, in file order; within the removal
// entries one pass that judges each entry on every machine, then one pass
// per code over the paths' table, so that findings stay in entry order.
#include "tools/uninstdat/lint/lint.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

#include "engine/locations.h"
#include "engine/registry.h"
#include "engine/shortcuts.h"
#include "tools/uninstdat/entry_evaluator.h"
#include "tools/uninstdat/families.h"
#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/lint/path_table.h"
#include "tools/uninstdat/reference.h"

namespace uninstdat {
namespace {

FindingPlace At(DataText field, size_t item) { return {field, item}; }
FindingPlace Whole(DataText field) { return {field, std::nullopt}; }

bool IsLibrary(const std::string& upper) {
  for (const char* extension : {".DLL", ".OCX", ".VXD", ".DRV", ".CPL", ".TLB"})
    if (EndsWithAsciiNoCase(upper, extension)) return true;
  return false;
}

// The components of a program group as Windows names its folders: a-z in
// upper case, empty ones dropped, and each without the blanks and dots at
// its end, which Windows drops.
std::vector<std::string> GroupParts(const uninst::CodePage& codePage, std::string_view group) {
  std::vector<std::string> parts;
  std::string upper = UpperAscii(group, codePage);
  const char* at = upper.c_str();
  while (true) {
    const char* slash = codePage.Find(at, '\\');
    std::string part(at, slash ? slash : at + strlen(at));
    while (!part.empty() && (part.back() == ' ' || part.back() == '.')) part.pop_back();
    if (!part.empty()) parts.push_back(part);
    if (!slash) return parts;
    at = slash + 1;
  }
}

// One machine as lint sees it: its evaluator, the folders of Windows itself,
// where libraries and fonts are shared, and the paths its entries list.
struct MachineView {
  MachineView(const Target& target, const TargetCodePage& page)
      : evaluator(new EntryEvaluator(target, page)), machineFolders(target.machine, page.codePage) {
    const Machine& m = target.machine;
    for (const std::string& folder : {m.systemDir, m.windowsDir + "\\System", m.windowsDir + "\\System32"})
      if (!folder.empty()) libraryFolders.push_back(UpperAscii(folder, page.codePage) + "\\");
    auto fonts = m.shellFolders.find(uninst::kCsidlFonts);
    fontFolder = UpperAscii(fonts != m.shellFolders.end() ? fonts->second : m.windowsDir + "\\Fonts", page.codePage) + "\\";
  }
  std::unique_ptr<EntryEvaluator> evaluator;
  MachineFolders machineFolders;
  std::vector<std::string> libraryFolders;  // upper case, each with a backslash after it
  std::string fontFolder;
  PathTable paths;
};

// What one removal entry does across the machines: for each fault, the
// machines (as bits) on which it shows.
struct EntryVerdict {
  unsigned emptyOn = 0, tooLong = 0, unavailable = 0, wild = 0, outside = 0, own = 0, machine = 0, shared = 0;
  bool noBackslash = false, unknownMacro = false;
};

class Linter {
 public:
  Linter(std::string_view file, const TargetCodePage& page, const std::vector<Target>& targets, Findings* findings)
      : file_(file), page_(page), cp_(page.codePage), targets_(targets), findings_(findings) {
    for (const Target& target : targets) machines_.emplace_back(new MachineView(target, page));
  }

  void FileProblems(const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) Report(LintCode::kFileTruncated, {}, std::nullopt, [&] { return problem; });
  }
  void RemovalEntries(std::string_view list);
  void RegistryList(std::string_view list);
  void ShortcutList(DataText field, std::string_view list);
  void ProgramGroup(std::string_view group);
  void BoxTexts(const DataFileTexts& texts);

 private:
  // Counts a finding about the entry text `entry` (bytes in the code page;
  // nullopt: none) and, when it is kept, builds it: `what` is called only then.
  template <typename What>
  void Report(LintCode code, FindingPlace place, std::optional<std::string_view> entry, What what,
              bool otherMend = false) {
    Findings::Slot slot = findings_->Admit(code, entry);
    if (!slot.keep) return;
    std::optional<std::string> text;
    if (entry) text = Utf8(page_, *entry);
    Finding finding = MakeFinding(code, place, std::move(text), what(), otherMend);
    // Every entry is a view into the file; its place there, for a reader
    // that points into the data file's bytes.
    if (entry) {
      uintptr_t start = reinterpret_cast<uintptr_t>(file_.data()), at = reinterpret_cast<uintptr_t>(entry->data());
      if (at >= start && at - start + entry->size() <= file_.size())
        finding.bytes = ByteRange{static_cast<size_t>(at - start), entry->size()};
    }
    findings_->Keep(slot, std::move(finding));
  }
  std::string Quoted(std::string_view bytes) const { return "\"" + Utf8(page_, bytes) + "\""; }
  int Count(std::string_view text, char c) const {
    int n = 0;
    const char* end = text.data() + text.size();
    for (const char* p = text.data(); (p = cp_.Find(p, end, c)); ++p) ++n;
    return n;
  }
  // The families of the machines in `mask`, as people name them.
  std::string Families(unsigned mask) const {
    std::vector<OsFamilyValue> families;
    for (size_t t = 0; t < targets_.size(); ++t)
      if (mask & (1u << t)) families.push_back(targets_[t].machine.family);
    return FamilyList(families);
  }
  void Alternates(std::string_view entry, size_t i);
  EntryVerdict Judge(std::string_view entry, size_t i);
  void ReportEntry(std::string_view entry, size_t i, const EntryVerdict& v);
  void ReportRepeats(std::string_view list, size_t entries);
  void RegistryEntry(std::string_view entry, size_t i);

  std::string_view file_;
  const TargetCodePage& page_;
  const uninst::CodePage& cp_;
  const std::vector<Target>& targets_;
  Findings* findings_;
  std::vector<std::unique_ptr<MachineView>> machines_;
};

void Linter::RemovalEntries(std::string_view list) {
  size_t entries = 0;
  std::string_view trailing = ForEachItem(cp_, list, '|', [&](std::string_view e, size_t i) {
    entries = i + 1;
    Alternates(e, i);
    ReportEntry(e, i, Judge(e, i));
  });
  if (!trailing.empty())
    Report(LintCode::kEntryUnterminated, Whole(DataText::kRemovalEntries), trailing,
           [&] { return Quoted(trailing) + " after the last \"|\" is ignored"; });
  ReportRepeats(list, entries);
}

// The alternates as the uninstaller splits them.
void Linter::Alternates(std::string_view e, size_t i) {
  int semicolons = Count(e, ';');
  if (semicolons == 1)
    Report(LintCode::kNtAlternateUnclosed, At(DataText::kRemovalEntries, i), e, [&] {
      return Quoted(e) + " has one \";\": its NT alternate needs a \";\" after it, so every family takes the default";
    });
  if (semicolons == 2) {
    const char* end = e.data() + e.size();
    const char* second = cp_.Find(cp_.Find(e.data(), end, ';') + 1, end, ';');
    if (second && second + 1 < end)
      Report(LintCode::kAlternatesIncomplete, At(DataText::kRemovalEntries, i), e, [&] {
        return Quoted(e) + " has two \";\": the text after the second is no alternate; Windows 98/Me and 95 need a third \";\"";
      });
  }
}

// The entry on every machine; its listed paths go into the machines' tables.
EntryVerdict Linter::Judge(std::string_view e, size_t i) {
  EntryVerdict v;
  EntryOutcome outcome;
  for (size_t t = 0; t < machines_.size(); ++t) {
    MachineView& m = *machines_[t];
    unsigned bit = 1u << t;
    m.evaluator->Evaluate(e.data(), e.data() + e.size(), &outcome);
    std::string_view alt = outcome.alternate;
    if (alt.empty()) v.emptyOn |= bit;
    if (cp_.Find(alt.data(), alt.data() + alt.size(), '<')) {
      size_t backslash = alt.find('\\');
      if (backslash != std::string_view::npos && !uninst::IsLocationMacro(alt.data(), backslash))
        v.unknownMacro = true;
    }
    EntryReason reason = outcome.reason;
    if (reason == EntryReason::kMacroWithoutBackslash) v.noBackslash = true;
    if (reason == EntryReason::kPathDoesNotFit) v.tooLong |= bit;
    if (reason == EntryReason::kFolderUnavailable) v.unavailable |= bit;
    if (reason == EntryReason::kWildcard) v.wild |= bit;
    if (reason == EntryReason::kOutsideMachine) v.outside |= bit;
    if (reason == EntryReason::kInstallFolder) v.own |= bit;
    if (!outcome.listed) continue;
    const std::string& upper = outcome.upper;
    if (reason == EntryReason::kNone && m.machineFolders.HasUpper(upper)) v.machine |= bit;
    bool shared = StartsWith(upper, m.fontFolder);
    if (IsLibrary(upper))
      for (const std::string& folder : m.libraryFolders) shared = shared || StartsWith(upper, folder);
    if (shared) v.shared |= bit;
    m.paths.Add(upper, i);
  }
  return v;
}

void Linter::ReportEntry(std::string_view e, size_t i, const EntryVerdict& v) {
  FindingPlace place = At(DataText::kRemovalEntries, i);
  if (v.emptyOn)
    Report(LintCode::kEntryNamesOwnFolder, place, e, [&] {
      return "the chosen text is empty on " + Families(v.emptyOn) + ": the path is the uninstaller's folder with a backslash after it, which matches nothing, so the entry does nothing there";
    });
  if (v.noBackslash)
    Report(LintCode::kMacroWithoutBackslash, place, e,
           [&] { return Quoted(e) + " holds \"<\" but no backslash: the uninstaller drops it"; });
  if (v.unknownMacro)
    Report(LintCode::kUnknownMacro, place, e, [&] {
      return "the first component of " + Quoted(e) + " is no location macro: the uninstaller puts its own folder in its place";
    });
  // The faults of the path, in the order they are listed: the machines each
  // shows on, and what happens there (after "on FAMILIES" where `named`).
  const struct {
    unsigned on;
    LintCode code;
    bool named;
    const char* what;
  } faults[] = {
      {v.tooLong, LintCode::kPathDoesNotFit, true, " the path is longer than 258 characters: the entry is skipped"},
      {v.unavailable, LintCode::kFolderUnavailable, true,
       " the macro's folder cannot be had (its registry value cannot be read, or it does not fit a path): the entry is skipped"},
      {v.wild, LintCode::kWildcardInPath, false,
       "the path holds \"*\" or \"?\": the uninstaller takes it as a pattern, removes at most the first match and then offers a restart"},
      {v.outside, LintCode::kPathOutsideMachine, true,
       " the path begins with \\\\?\\ or \\\\.\\, which Windows hands on past its path rules: it may name a device, a volume or (under Wine, \\\\?\\unix\\...) the host's files, and the uninstaller deletes what it names"},
      {v.own, LintCode::kInstallFolderListed, true,
       " the entry names the uninstaller's own folder, which still holds uninst.exe at its turn: it stays, and every uninstall ends with the restart question"},
      {v.machine, LintCode::kMachineFolderListed, true,
       " the path is a folder of Windows itself, which a fresh machine already has and which holds files of Windows or of other programs: its removal fails, and every uninstall ends with the restart question"},
      {v.shared, LintCode::kSharedSystemFile, true,
       " the path is a library in the system folder or a font, which other programs may use too; Windows counts the programs that share such a file, and this uninstaller does not look at that count"},
  };
  for (const auto& fault : faults)
    if (fault.on)
      Report(fault.code, place, e, [&] { return fault.named ? "on " + Families(fault.on) + fault.what : fault.what; });
}

// Across the entries: a folder before what it holds, a path listed twice.
// One walk per code, so that the findings stay in entry order.
void Linter::ReportRepeats(std::string_view list, size_t entries) {
  std::vector<bool> folderFirst(entries);
  std::map<size_t, std::pair<size_t, size_t>> twice;  // entry: first entry, count
  for (std::unique_ptr<MachineView>& m : machines_) {
    m->paths.Report(cp_, [&](size_t entry) { folderFirst[entry] = true; },
                    [&](size_t entry, size_t first, size_t n) { twice.emplace(entry, std::make_pair(first, n)); });
    m->paths = PathTable();  // its memory is not needed any more
  }
  ForEachItem(cp_, list, '|', [&](std::string_view e, size_t i) {
    if (folderFirst[i])
      Report(LintCode::kFolderBeforeContents, At(DataText::kRemovalEntries, i), e, [&] {
        return Quoted(e) + " comes before paths inside it: it is not empty at its turn, stays, and the run ends with the restart question";
      });
  });
  ForEachItem(cp_, list, '|', [&](std::string_view e, size_t i) {
    auto it = twice.find(i);
    if (it != twice.end())
      Report(LintCode::kListedTwice, At(DataText::kRemovalEntries, i), e, [&] {
        return "the path of " + Quoted(e) + " is listed " + std::to_string(it->second.second) + " times, first as " +
               PlaceText(At(DataText::kRemovalEntries, it->second.first));
      });
  });
}

void Linter::RegistryList(std::string_view list) {
  std::string_view trailing =
      ForEachItem(cp_, list, '|', [&](std::string_view e, size_t i) { RegistryEntry(e, i); });
  if (!trailing.empty())
    Report(LintCode::kRegistryUnterminated, Whole(DataText::kRegistryList), trailing,
           [&] { return Quoted(trailing) + " after the last \"|\" is ignored"; });
}

// One entry, read as the uninstaller's walk reads it.
void Linter::RegistryEntry(std::string_view e, size_t i) {
  if (e.empty()) return;
  FindingPlace place = At(DataText::kRegistryList, i);
  std::string copy(e);
  uninst::RegistryAction action;
  switch (uninst::ReadRegistryEntry(cp_, &copy[0], &action)) {
    case uninst::kRegistryEntryNoSemicolon:
      return Report(LintCode::kRegistryNoSemicolon, place, e,
                    [&] { return Quoted(e) + " has no \";\": the uninstaller ignores it"; });
    case uninst::kRegistryEntryNoSubkey:
      return Report(LintCode::kRegistryNoSubkey, place, e,
                    [&] { return Quoted(e) + " has no \"\\\" between root and subkey: ignored"; });
    case uninst::kRegistryEntryUnknownRoot:
      return Report(LintCode::kRegistryUnknownRoot, place, e,
                    [&] { return Quoted(action.rootName) + " is no root name: ignored"; });
    case uninst::kRegistryEntryWholeRoot:
      return Report(LintCode::kRegistryEmptySubkey, place, e,
                    [&] { return std::string("the subkey is empty: the whole root would go, so the entry is skipped"); });
    case uninst::kRegistryEntryActs:
      break;
  }
  if (!*action.subkey)
    return Report(LintCode::kRegistryEmptySubkey, place, e,
                  [&] { return std::string("the subkey is empty: a value directly under a root is never deleted"); });
  if (!action.deleteTree) return;
  // A whole key: sound only for a key that one product owns.
  std::string keyBytes = std::string(action.rootName) + "\\" + action.subkey;
  auto key = page_.converter.ToUtf8(keyBytes);
  KeyVerdict verdict = key ? JudgeWholeKey(*key) : KeyVerdict{KeyVerdict::kShared, ""};
  if (verdict.kind == KeyVerdict::kFreshMachine)
    Report(LintCode::kRegistrySharedTree, place, e, [&] {
      return Quoted(keyBytes) + (verdict.owner == CanonicalKey(*key) ? std::string(" is a key") : " lies in " + verdict.owner + ", a key") + " that a fresh Windows machine already has: the uninstaller deletes it with all its subkeys";
    }, true);
  else if (verdict.kind == KeyVerdict::kVendor)
    Report(LintCode::kRegistryVendorKey, place, e, [&] {
      return Quoted(keyBytes) + " is a vendor's key, which every product of that vendor keeps its keys below: the uninstaller deletes them all, other products' settings included";
    });
  else if (verdict.kind == KeyVerdict::kShared)
    Report(LintCode::kRegistrySharedTree, place, e, [&] {
      return Quoted(keyBytes) + " has no shape that one product owns (Software\\Vendor, ...\\Uninstall\\Product, ...\\App Paths\\Program, a CLSID, Interface, TypeLib or AppID {GUID}, a ProgID Vendor.Name, Services\\Name), so Windows or other programs may keep keys and values under it: the uninstaller deletes it with all its subkeys";
    });
}

void Linter::ShortcutList(DataText field, std::string_view list) {
  std::string_view rest = ForEachItem(cp_, list, ';', [&](std::string_view name, size_t i) {
    if (name.empty())
      Report(LintCode::kShortcutEmptyName, At(field, i), name, [] { return std::string("an empty name deletes nothing"); });
    else if (EndsWithAsciiNoCase(name, ".lnk"))
      Report(LintCode::kShortcutHasExtension, At(field, i), name,
             [&] { return Quoted(name) + " ends in .lnk: the uninstaller adds .lnk again and finds nothing"; });
  });
  if (!rest.empty())
    Report(LintCode::kShortcutUnterminated, Whole(field), rest,
           [&] { return Quoted(rest) + " after the last \";\" is ignored"; });
}

void Linter::ProgramGroup(std::string_view group) {
  FindingPlace place = Whole(DataText::kProgramGroup);
  std::vector<std::string> parts = GroupParts(cp_, group);
  std::string groupName;
  for (const std::string& part : parts) groupName += (groupName.empty() ? "" : "\\") + part;
  if (!group.empty() && !uninst::IsSafeProgramGroup(cp_, std::string(group).c_str())) {
    Report(LintCode::kProgramGroupRefused, place, group,
           [&] { return Quoted(group) + " would reach the Programs folder itself or beyond it: nothing is deleted"; });
  } else if (!group.empty() && IsSharedProgramGroup(groupName)) {
    Report(LintCode::kProgramGroupShared, place, group, [&] {
      return Quoted(group) + " is a folder of the Programs menu that Windows or every product shares: the uninstaller deletes it with everything in it, the shortcuts of Windows and of other programs too";
    });
  } else if (parts.size() > 1) {
    // The folder that holds it: the group up to its last backslash that a
    // name follows, without the backslashes before it (found as characters).
    std::vector<size_t> slashes;
    const char* end = group.data() + group.size();
    for (const char* at = group.data(); (at = cp_.Find(at, end, '\\')); ++at)
      slashes.push_back(static_cast<size_t>(at - group.data()));
    size_t cut = group.size();
    for (int step = 0; step < 2; ++step) {  // the trailing backslashes, then the last name
      while (!slashes.empty() && slashes.back() + 1 == cut) cut = slashes.back(), slashes.pop_back();
      if (step == 0 && !slashes.empty()) cut = slashes.back(), slashes.pop_back();
    }
    std::string_view parent = group.substr(0, cut);
    Report(LintCode::kProgramGroupNested, place, group, [&] {
      return "only the innermost folder of " + Quoted(group) + " is deleted: " + Quoted(parent) + ", which holds it, stays, even when it is empty";
    });
  }
}

void Linter::BoxTexts(const DataFileTexts& texts) {
  for (const uninst::DataTextLayout& layout : uninst::kDataTexts) {
    if (!IsBoxText(layout.text)) continue;
    DataText field = layout.text;
    std::string_view text = texts[field];
    if (text.substr(0, 4) == "TODO")
      Report(LintCode::kPlaceholderText, Whole(field), text,
             [&] { return Quoted(text) + " is a placeholder: the user would see it as it stands"; });
  }
  if (texts[DataText::kMessageCaption].empty())
    Report(LintCode::kNoCaption, Whole(DataText::kMessageCaption), std::nullopt, [] {
      return std::string("without a caption no box is shown: no confirmation, no running-program box, no restart question");
    });
  else if (texts[DataText::kRestartPrompt].empty())
    Report(LintCode::kNoRestartPrompt, Whole(DataText::kRestartPrompt), std::nullopt, [] {
      return std::string("when something resists removal, no restart is offered and the leftovers stay");
    });
}

}  // namespace

void Lint(const std::string& bytes, const std::vector<std::string>& layoutProblems, const TargetCodePage& page,
          const std::vector<Target>& targets, Findings* findings) {
  Linter linter(bytes, page, targets, findings);
  linter.FileProblems(layoutProblems);
  DataFileTexts texts = SplitTexts(bytes);
  linter.RemovalEntries(texts[DataText::kRemovalEntries]);
  linter.RegistryList(texts[DataText::kRegistryList]);
  for (const uninst::DataTextLayout& layout : uninst::kDataTexts)
    if (IsShortcutList(layout.text)) linter.ShortcutList(layout.text, texts[layout.text]);
  linter.ProgramGroup(texts[DataText::kProgramGroup]);
  linter.BoxTexts(texts);
}

}  // namespace uninstdat
