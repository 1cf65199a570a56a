// Plan and lint; see analysis.h.
#include "tools/uninstdat/analysis.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string_view>

#include "engine/data_file.h"
#include "engine/file_removal.h"
#include "engine/locations.h"
#include "engine/registry.h"
#include "engine/restart_schedule.h"
#include "engine/shortcuts.h"
#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/reference.h"

namespace uninstdat {
namespace {

const char* const kFamilyLongNames[] = {"unknown", "Windows 95", "Windows 98/Me", "NT family"};
const char* const kAlternateNames[] = {"default", "nt", "win98", "win95"};
const char kMacroList[] =
    "<Exe> <Win> <Sys> <Sys32> <Autosys> <Fonts> <WinTemp> <InstallFolder> <ProgramFiles> "
    "<CommonFiles>";

std::string Utf8(const TargetCodePage& page, std::string_view bytes) {
  auto text = page.converter.ToUtf8(std::string(bytes));
  return text ? *text
              : "(bytes that are no text in code page " + std::to_string(page.converter.number()) + ")";
}

std::string Quoted(const TargetCodePage& page, std::string_view bytes) {
  return "\"" + Utf8(page, bytes) + "\"";
}

std::string Item(const char* field, size_t index) {
  return std::string(field) + "[" + std::to_string(index) + "]";
}

bool EndsWithNoCase(std::string_view text, const char* suffix) {
  size_t n = strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (uninst::AsciiLower(text[text.size() - n + i]) != uninst::AsciiLower(suffix[i])) return false;
  return true;
}


// Whether Windows takes the path past its own rules: "\\?\" and "\\.\"
// (either slash) hand it on as it stands, to any device or file system,
// and under Wine "\\?\unix\..." names the host's files.
bool IsDevicePath(std::string_view path) {
  auto slash = [](char c) { return c == '\\' || c == '/'; };
  return path.size() >= 3 && slash(path[0]) && slash(path[1]) && (path[2] == '.' || path[2] == '?') &&
         (path.size() == 3 || slash(path[3]));
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

const LintCode kLintCodes[] = {
    {"file-truncated", false},         {"entry-unterminated", false},
    {"nt-alternate-unclosed", false},  {"alternates-incomplete", false},
    {"entry-names-own-folder", false}, {"macro-without-backslash", false},
    {"unknown-macro", false},          {"path-does-not-fit", false},
    {"folder-unavailable", false},     {"wildcard-in-path", false},
    {"path-outside-machine", false},   {"folder-before-contents", false},
    {"listed-twice", false},           {"install-folder-listed", false},
    {"machine-folder-listed", false},  {"shared-system-file", false},
    {"registry-no-semicolon", false},  {"registry-no-subkey", false},
    {"registry-unknown-root", false},  {"registry-empty-subkey", false},
    {"registry-shared-tree", false},   {"registry-unterminated", false},
    {"shortcut-empty-name", false},    {"shortcut-has-extension", false},
    {"shortcut-unterminated", false},  {"program-group-refused", false},
    {"program-group-shared", false},   {"program-group-nested", true},
    {"no-caption", false},             {"no-restart-prompt", false},
    {"placeholder-text", false},
};

}  // namespace

const std::vector<LintCode>& LintCodes() {
  static const std::vector<LintCode> codes(std::begin(kLintCodes), std::end(kLintCodes));
  return codes;
}

bool ParseAllowRule(const std::string& spec, const TargetCodePage& page, AllowRule* rule,
                    std::string* error) {
  size_t equals = spec.find('=');
  rule->code = spec.substr(0, equals);
  rule->anyText = equals == std::string::npos;
  rule->text.clear();
  std::vector<std::string> codes;
  for (const LintCode& code : LintCodes()) codes.push_back(code.code);
  if (std::find(codes.begin(), codes.end(), rule->code) == codes.end()) {
    *error = "\"" + rule->code + "\" " + UnknownName(rule->code, codes, "lint code");
    return false;
  }
  if (!rule->anyText) {
    auto text = page.converter.ToAnsi(spec.substr(equals + 1));
    if (!text) {
      *error = "\"" + spec.substr(equals + 1) + "\" has a character that code page " +
               std::to_string(page.converter.number()) + " cannot represent, so no entry has this text";
      return false;
    }
    rule->text = *text;
  }
  return true;
}

Findings::Slot Findings::Admit(const char* code, std::optional<std::string_view> text) {
  auto it = counts_.find(std::string_view(code));
  if (it == counts_.end()) {
    Count count;
    for (const LintCode& known : kLintCodes)
      if (strcmp(known.code, code) == 0) count.note = known.note;
    for (const AllowRule& rule : allow_)
      if (rule.code == code) count.rules.push_back(&rule);
    it = counts_.emplace(code, std::move(count)).first;
  }
  Count& count = it->second;
  Slot slot{true, count.note, false};
  for (const AllowRule* rule : count.rules)
    if (rule->anyText || (text && *text == rule->text)) slot.allowed = true;
  ++total_;
  if (slot.allowed) ++allowed_;
  else if (slot.note) ++notes_;
  size_t& seen = slot.allowed ? count.allowed : count.plain;
  slot.keep = !keepPerCode_ || seen < keepPerCode_;
  ++seen;
  return slot;
}

void Findings::Keep(const Slot& slot, Finding finding) {
  finding.note = slot.note;
  finding.allowed = slot.allowed;
  kept_.push_back(std::move(finding));
}

void Findings::Add(const std::string& code, const std::string& where, const std::string& what,
                   const std::string& mend) {
  Slot slot = Admit(code.c_str(), std::nullopt);
  if (slot.keep) Keep(slot, {code, where, false, "", what, mend});
}

std::vector<Findings::Omitted> Findings::omitted() const {
  std::vector<Omitted> omitted;
  if (!keepPerCode_) return omitted;
  for (const auto& [code, count] : counts_) {
    if (count.plain > keepPerCode_) omitted.push_back({code, false, count.plain - keepPerCode_});
    if (count.allowed > keepPerCode_) omitted.push_back({code, true, count.allowed - keepPerCode_});
  }
  return omitted;
}

namespace {

// Distinct paths of one target in one block, with where each occurs first,
// second and last: memory linear in the distinct paths, whatever the count
// of entries (a file of a million "|" has one distinct path).
class PathTable {
 public:
  void Add(const std::string& upper, size_t entry) {
    if (slots_.empty() || (ids_.size() + 1) * 2 > slots_.size()) Grow();
    size_t mask = slots_.size() - 1;
    for (size_t slot = Hash(upper) & mask;; slot = (slot + 1) & mask) {
      if (slots_[slot] == 0) {
        slots_[slot] = static_cast<uint32_t>(ids_.size() + 1);
        ids_.push_back({static_cast<uint32_t>(arena_.size()), static_cast<uint32_t>(upper.size()),
                        static_cast<uint32_t>(entry), static_cast<uint32_t>(entry),
                        static_cast<uint32_t>(entry), 1});
        arena_ += upper;
        return;
      }
      Path& path = ids_[slots_[slot] - 1];
      if (Text(path) == upper) {
        if (path.count++ == 1) path.second = static_cast<uint32_t>(entry);
        path.last = static_cast<uint32_t>(entry);
        return;
      }
    }
  }

  // Calls folderFirst(entry) for each path that comes before a path inside
  // it, and twice(entry, first, count) for each path listed more than once.
  template <typename FolderFirst, typename Twice>
  void Report(const uninst::CodePage& codePage, FolderFirst folderFirst, Twice twice) const {
    std::vector<uint32_t> sorted(ids_.size());
    for (size_t i = 0; i < sorted.size(); ++i) sorted[i] = static_cast<uint32_t>(i);
    std::sort(sorted.begin(), sorted.end(),
              [&](uint32_t a, uint32_t b) { return Text(ids_[a]) < Text(ids_[b]); });
    for (const Path& path : ids_) {
      if (path.count > 1) twice(path.second, path.first, path.count);
      std::string text(Text(path));
      // A path that ends in a backslash is found by nothing and never removed.
      if (codePage.EndsWithSeparator(text.c_str())) continue;
      std::string inside = text + "\\";
      auto it = std::lower_bound(sorted.begin(), sorted.end(), inside,
                                 [&](uint32_t id, const std::string& key) { return Text(ids_[id]) < key; });
      for (; it != sorted.end() && Text(ids_[*it]).substr(0, inside.size()) == inside; ++it)
        if (ids_[*it].last > path.first) {
          folderFirst(path.first);
          break;
        }
    }
  }

 private:
  // Offsets and entry numbers fit 32 bits: inputs are at most 64 MiB.
  struct Path {
    uint32_t offset, length, first, second, last, count;
  };
  std::string_view Text(const Path& path) const {
    return std::string_view(arena_).substr(path.offset, path.length);
  }
  static uint64_t Hash(std::string_view text) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
  }
  void Grow() {
    std::vector<uint32_t> slots(slots_.empty() ? 64 : slots_.size() * 2, 0);
    size_t mask = slots.size() - 1;
    for (size_t id = 0; id < ids_.size(); ++id) {
      size_t slot = Hash(Text(ids_[id])) & mask;
      while (slots[slot]) slot = (slot + 1) & mask;
      slots[slot] = static_cast<uint32_t>(id + 1);
    }
    slots_.swap(slots);
  }
  std::string arena_;
  std::vector<Path> ids_;
  std::vector<uint32_t> slots_;  // id + 1, 0 free
};

std::string FamilyList(const std::vector<int>& families) {
  std::string text;
  for (int family : families) text += (text.empty() ? "" : ", ") + std::string(kFamilyLongNames[family]);
  return text;
}

}  // namespace

const char* FamilyName(int family) {
  static const char* const kNames[] = {"unknown", "95", "98", "nt"};
  return family >= 0 && family <= 3 ? kNames[family] : "unknown";
}

bool MakeTargets(const std::vector<int>& families, const Json* machineJson,
                 const std::string& exeFolderUtf8, const TargetCodePage& page,
                 std::vector<Target>* targets, std::string* error) {
  const std::string pageName = "code page " + std::to_string(page.converter.number());
  auto convert = [&](std::string* text, const std::string& what) {
    auto converted = page.converter.ToAnsi(*text);
    if (!converted) {
      *error = what + " \"" + *text + "\" has a character that " + pageName + " cannot represent";
      return false;
    }
    *text = *converted;
    return true;
  };
  for (int family : families) {
    Target target;
    target.machine = DefaultMachine(family);
    if (machineJson && !ApplyMachineJson(*machineJson, &target.machine, error)) return false;
    Machine& m = target.machine;
    for (auto [text, name] : {std::pair<std::string*, const char*>{&m.windowsDir, "windowsDir"},
                              {&m.systemDir, "systemDir"},
                              {&m.tempDir, "tempDir"},
                              {&m.programFilesDir, "programFilesDir"},
                              {&m.commonFilesDir, "commonFilesDir"},
                              {&m.profileDir, "profileDir"}})
      if (!convert(text, std::string("the machine's ") + name)) return false;
    for (auto& [csidl, folder] : m.shellFolders)
      if (!convert(&folder, "the machine's shell folder " + std::to_string(csidl))) return false;
    target.exeFolder = exeFolderUtf8.empty() ? m.programFilesDir + "\\Application" : exeFolderUtf8;
    if (!exeFolderUtf8.empty() && !convert(&target.exeFolder, "the uninstaller's folder")) return false;
    // ExeFolder never ends in a backslash.
    while (!target.exeFolder.empty() && page.codePage.EndsWithSeparator(target.exeFolder.c_str()))
      target.exeFolder.pop_back();
    if (target.exeFolder.size() >= uninst::kMaxPath) {
      *error = "the uninstaller's folder \"" + Utf8(page, target.exeFolder) + "\" has " +
               std::to_string(target.exeFolder.size()) + " bytes in " + pageName +
               ": a path has at most " + std::to_string(uninst::kMaxPath - 1);
      return false;
    }
    targets->push_back(std::move(target));
  }
  return true;
}

// A run state over a described machine.
struct EntryEvaluator::Session {
  Session(const Target& target, const TargetCodePage& page)
      : platform(target.machine, page.codePage), state(platform) {
    state.osFamily = target.machine.family;
    state.codePage = page.codePage;
    uninst::CopyBounded(state.exeFolder, uninst::kMaxPath, target.exeFolder.c_str());
  }
  MachinePlatform platform;
  uninst::RunState state;
};

EntryEvaluator::EntryEvaluator(const Target& target, const TargetCodePage& page)
    : session_(new Session(target, page)),
      target_(target),
      page_(page),
      folder_(NormalizePath(page.codePage, UpperAscii(target.exeFolder, page.codePage))) {}
EntryEvaluator::~EntryEvaluator() = default;

void EntryEvaluator::Evaluate(const char* entry, const char* end, EntryOutcome* out) {
  const uninst::CodePage& cp = page_.codePage;
  EntryOutcome& outcome = *out;
  uninst::TextRange alt = uninst::ChooseAlternate(cp, entry, end, target_.machine.family);
  outcome.alternate = std::string_view(alt.begin, alt.length);
  outcome.alternateName = kAlternateNames[0];
  outcome.listed = false;
  outcome.reason = nullptr;
  outcome.path.clear();
  outcome.upper.clear();
  if (alt.begin != entry) {
    // Which alternate: count the ";" before it.
    int index = 0;
    for (const char* p = entry; (p = cp.Find(p, alt.begin, ';')); ++p) ++index;
    outcome.alternateName = kAlternateNames[index < 4 ? index : 3];
  }
  char work[uninst::kMaxPath];
  uninst::TextRange path;
  bool macro = cp.Find(alt.begin, alt.begin + alt.length, '<') != nullptr;
  if (!uninst::BuildRemovalPath(session_->state, alt, work, &path)) {
    size_t backslash = outcome.alternate.find('\\');
    if (macro && backslash == std::string_view::npos) {
      outcome.reason = "macro-without-backslash";
    } else if (macro) {
      // The folder of the first component, or the joined path, did not do.
      std::string first(outcome.alternate.substr(0, backslash));
      bool folder = first.size() < uninst::kMaxPath &&
                    uninst::ResolveLocationMacro(session_->state, first.c_str()) != nullptr;
      outcome.reason = folder ? "path-does-not-fit" : "folder-unavailable";
    } else {
      outcome.reason = "path-does-not-fit";
    }
    return;
  }
  outcome.listed = true;
  outcome.path.assign(path.begin, path.length);
  outcome.upper.assign(path.begin, path.length);
  UpperAsciiInPlace(cp, &outcome.upper);
  if (cp.EndsWithSeparator(outcome.path.c_str())) {
    outcome.reason = "matches-nothing";
  } else if (IsDevicePath(outcome.path)) {
    outcome.reason = "outside-machine";
  } else if (outcome.path.find_first_of("*?") != std::string::npos) {
    outcome.reason = "wildcard";
  } else if (outcome.upper == folder_ ||
             ((outcome.upper.find(".\\") != std::string::npos || outcome.upper.back() == '.') &&
              NormalizePath(cp, outcome.upper) == folder_)) {
    outcome.reason = "install-folder";
  }
}

// Adds a finding about the entry text `text` (std::nullopt: none), building
// its texts only when it is kept.
#define LINT(code, where, text, what, mend)                                          \
  do {                                                                                \
    std::optional<std::string_view> about_ = (text);                                  \
    Findings::Slot slot_ = findings->Admit(code, about_);                             \
    if (slot_.keep)                                                                   \
      findings->Keep(slot_, {code, where, about_.has_value(),                         \
                             about_ ? Utf8(page, *about_) : std::string(), what, mend}); \
  } while (0)

void Lint(const std::string& bytes, const std::vector<std::string>& decodeProblems,
          const TargetCodePage& page, const std::vector<Target>& targets, Findings* findings) {
  const uninst::CodePage& cp = page.codePage;
  const std::optional<std::string_view> kNoEntry;
  auto count = [&](std::string_view s, char c) {
    int n = 0;
    const char* end = s.data() + s.size();
    for (const char* p = s.data(); (p = cp.Find(p, end, c)); ++p) ++n;
    return n;
  };
  for (const std::string& problem : decodeProblems)
    LINT("file-truncated", "file", kNoEntry, problem, "write the file again with uninstdat build");
  DataFileTexts texts = SplitTexts(bytes);

  // Removal entries: per entry, then across entries per target.
  std::vector<std::unique_ptr<EntryEvaluator>> evaluators;
  std::vector<PathTable> tables(targets.size());
  std::vector<MachineFolders> machineFolders;
  for (const Target& target : targets) {
    evaluators.emplace_back(new EntryEvaluator(target, page));
    machineFolders.emplace_back(target.machine, cp);
  }
  // Per target, upper case: the folders in which a library is shared, and the fonts.
  std::vector<std::vector<std::string>> libraryFolders(targets.size());
  std::vector<std::string> fontFolders(targets.size());
  for (size_t t = 0; t < targets.size(); ++t) {
    const Machine& m = targets[t].machine;
    for (const std::string& folder : {m.systemDir, m.windowsDir + "\\System", m.windowsDir + "\\System32"})
      if (!folder.empty()) libraryFolders[t].push_back(UpperAscii(folder, cp) + "\\");
    auto fonts = m.shellFolders.find(uninst::kCsidlFonts);
    fontFolders[t] = UpperAscii(fonts != m.shellFolders.end() ? fonts->second : m.windowsDir + "\\Fonts", cp) + "\\";
  }
  // Families as bits, so that a million entries cost no lists.
  auto families = [&](unsigned mask) {
    std::vector<int> list;
    for (size_t t = 0; t < targets.size(); ++t)
      if (mask & (1u << t)) list.push_back(targets[t].machine.family);
    return FamilyList(list);
  };
  auto startsWith = [](const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
  };
  EntryOutcome outcome;
  size_t entryCount = 0;
  std::string_view trailing = ForEachItem(cp, texts.text[0], '|', [&](std::string_view e, size_t i) {
    entryCount = i + 1;
    int semicolons = count(e, ';');
    if (semicolons == 1)
      LINT("nt-alternate-unclosed", Item("removalEntries", i), e, Quoted(page, e) + " has one \";\": its NT alternate needs a \";\" after it, so every family takes the default",
           "end the NT alternate with \";\" (default;nt;)");
    if (semicolons == 2) {
      const char* end = e.data() + e.size();
      const char* second = cp.Find(cp.Find(e.data(), end, ';') + 1, end, ';');
      if (second && second + 1 < end)
        LINT("alternates-incomplete", Item("removalEntries", i), e, Quoted(page, e) + " has two \";\": the text after the second is no alternate; Windows 98/Me and 95 need a third \";\"",
             "write default;nt;win98;win95");
    }
    unsigned emptyOn = 0, tooLong = 0, unavailable = 0, wild = 0, outside = 0, own = 0, machine = 0, shared = 0;
    bool noBackslash = false, unknownMacro = false;
    for (size_t t = 0; t < targets.size(); ++t) {
      unsigned bit = 1u << t;
      evaluators[t]->Evaluate(e.data(), e.data() + e.size(), &outcome);
      std::string_view alt = outcome.alternate;
      if (alt.empty()) emptyOn |= bit;
      if (cp.Find(alt.data(), alt.data() + alt.size(), '<')) {
        size_t backslash = alt.find('\\');
        if (backslash != std::string_view::npos && !uninst::IsLocationMacro(alt.data(), backslash))
          unknownMacro = true;
      }
      std::string_view reason = outcome.reason ? outcome.reason : "";
      if (reason == "macro-without-backslash") noBackslash = true;
      if (reason == "path-does-not-fit") tooLong |= bit;
      if (reason == "folder-unavailable") unavailable |= bit;
      if (reason == "wildcard") wild |= bit;
      if (reason == "outside-machine") outside |= bit;
      if (reason == "install-folder") own |= bit;
      if (!outcome.listed) continue;
      const std::string& upper = outcome.upper;
      if (reason.empty() && machineFolders[t].HasUpper(upper)) machine |= bit;
      bool library = EndsWithNoCase(upper, ".DLL") || EndsWithNoCase(upper, ".OCX") ||
                     EndsWithNoCase(upper, ".VXD") || EndsWithNoCase(upper, ".DRV") ||
                     EndsWithNoCase(upper, ".CPL") || EndsWithNoCase(upper, ".TLB");
      bool isShared = startsWith(upper, fontFolders[t]);
      for (const std::string& folder : libraryFolders[t])
        if (library && startsWith(upper, folder)) isShared = true;
      if (isShared) shared |= bit;
      tables[t].Add(upper, i);
    }
    if (emptyOn)
      LINT("entry-names-own-folder", Item("removalEntries", i), e, "the chosen text is empty on " + families(emptyOn) + ": the path is the uninstaller's folder with a backslash after it, which matches nothing, so the entry does nothing there",
           "give every family that uses the entry a path, or drop the entry");
    if (noBackslash)
      LINT("macro-without-backslash", Item("removalEntries", i), e, Quoted(page, e) + " holds \"<\" but no backslash: the uninstaller drops it",
           "write the macro, a backslash and a name, e.g. <Win>\\widget.ini");
    if (unknownMacro)
      LINT("unknown-macro", Item("removalEntries", i), e, "the first component of " + Quoted(page, e) + " is no location macro: the uninstaller puts its own folder in its place",
           std::string("use one of ") + kMacroList);
    if (tooLong)
      LINT("path-does-not-fit", Item("removalEntries", i), e, "on " + families(tooLong) + " the path is longer than 258 characters: the entry is skipped",
           "shorten the path");
    if (unavailable)
      LINT("folder-unavailable", Item("removalEntries", i), e, "on " + families(unavailable) + " the macro's folder cannot be had (its registry value cannot be read, or it does not fit a path): the entry is skipped",
           "use a macro whose folder every machine has, or an absolute path");
    if (wild)
      LINT("wildcard-in-path", Item("removalEntries", i), e, "the path holds \"*\" or \"?\": the uninstaller takes it as a pattern, removes at most the first match and then offers a restart",
           "list each file by its name");
    if (outside)
      LINT("path-outside-machine", Item("removalEntries", i), e, "on " + families(outside) + " the path begins with \\\\?\\ or \\\\.\\, which Windows hands on past its path rules: it may name a device, a volume or (under Wine, \\\\?\\unix\\...) the host's files, and the uninstaller deletes what it names",
           "write a path of the machine: a location macro, X:\\... or \\\\server\\share\\...");
    if (own)
      LINT("install-folder-listed", Item("removalEntries", i), e, "on " + families(own) + " the entry names the uninstaller's own folder, which still holds uninst.exe at its turn: it stays, and every uninstall ends with the restart question",
           "drop the entry: the uninstaller's self-removal takes its folder away once it is empty");
    if (machine)
      LINT("machine-folder-listed", Item("removalEntries", i), e, "on " + families(machine) + " the path is a folder of Windows itself, which a fresh machine already has and which holds files of Windows or of other programs: its removal fails, and every uninstall ends with the restart question",
           "drop the entry: list only the folders your installer made");
    if (shared)
      LINT("shared-system-file", Item("removalEntries", i), e, "on " + families(shared) + " the path is a library in the system folder or a font, which other programs may use too; Windows counts the programs that share such a file, and this uninstaller does not look at that count",
           "list it only if no other program can use it (a name of your own), and then allow the finding (--allow shared-system-file=TEXT, or \"lintAllow\"); else leave it installed");
  });
  if (!trailing.empty())
    LINT("entry-unterminated", "removalEntries", trailing, Quoted(page, trailing) + " after the last \"|\" is ignored",
         "end every entry with \"|\"");
  std::vector<bool> folderFirst(entryCount);
  std::map<size_t, std::pair<size_t, size_t>> twice;  // entry: first entry, count
  for (PathTable& table : tables) {
    table.Report(cp, [&](size_t entry) { folderFirst[entry] = true; },
                 [&](size_t entry, size_t first, size_t n) { twice.emplace(entry, std::make_pair(first, n)); });
    table = PathTable();  // its memory is not needed any more
  }
  // One walk per code, so that the findings stay in entry order.
  ForEachItem(cp, texts.text[0], '|', [&](std::string_view e, size_t i) {
    if (folderFirst[i])
      LINT("folder-before-contents", Item("removalEntries", i), e,
           Quoted(page, e) + " comes before paths inside it: it is not empty at its turn, stays, and the run ends with the restart question",
           "list a folder after everything in it");
  });
  ForEachItem(cp, texts.text[0], '|', [&](std::string_view e, size_t i) {
    auto it = twice.find(i);
    if (it != twice.end())
      LINT("listed-twice", Item("removalEntries", i), e,
           "the path of " + Quoted(page, e) + " is listed " + std::to_string(it->second.second) +
               " times, first as " + Item("removalEntries", it->second.first),
           "list each path once");
  });

  // Registry entries, each walked alone with the engine's walk.
  std::string_view registryTrailing = ForEachItem(cp, texts.text[1], '|', [&](std::string_view view, size_t i) {
    std::string e(view);
    std::string where = Item("registryList", i);
    if (e.empty()) return;
    std::string copy = e + "|";
    bool acted = false;
    uninst::WalkRegistryList(cp, &copy[0], [](void* c, const uninst::RegistryAction&) { *static_cast<bool*>(c) = true; }, &acted);
    const char* semi = cp.Find(e.c_str(), ';');
    const char* backslash = semi ? cp.Find(e.c_str(), semi, '\\') : nullptr;
    uninst::RegKey root = backslash ? uninst::LookupRootName(std::string(e.c_str(), backslash).c_str()) : 0;
    if (!semi) {
      LINT("registry-no-semicolon", where, view, Quoted(page, e) + " has no \";\": the uninstaller ignores it",
          "end a key with \";\" (whole key) or \";name\" (one value)");
    } else if (!backslash) {
      LINT("registry-no-subkey", where, view, Quoted(page, e) + " has no \"\\\" between root and subkey: ignored",
          "write ROOT\\subkey;value");
    } else if (!root) {
      LINT("registry-unknown-root", where, view, Quoted(page, std::string(e.c_str(), backslash)) + " is no root name: ignored",
          "use HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CURRENT_CONFIG or HKEY_DYN_DATA, without blanks or short forms");
    } else if (backslash + 1 == semi) {
      LINT("registry-empty-subkey", where, view, "the subkey is empty: " + std::string(acted ? "a value directly under a root is never deleted" : "the whole root would go, so the entry is skipped"),
          "name the key under the root");
    } else if (semi[1] == '\0') {
      // A whole key: sound only for a key that one product owns.
      auto key = page.converter.ToUtf8(std::string(e.c_str(), semi));
      KeyVerdict verdict = key ? JudgeWholeKey(*key) : KeyVerdict{KeyVerdict::kShared, ""};
      if (verdict.kind == KeyVerdict::kFreshMachine)
        LINT("registry-shared-tree", where, view, Quoted(page, std::string(e.c_str(), semi)) + (verdict.owner == CanonicalKey(*key) ? std::string(" is a key") : " lies in " + verdict.owner + ", a key") + " that a fresh Windows machine already has: the uninstaller deletes it with all its subkeys",
            "name your program's own key (such as Software\\Vendor\\Product), or list its values one by one with \";name\"");
      else if (verdict.kind == KeyVerdict::kShared)
        LINT("registry-shared-tree", where, view, Quoted(page, std::string(e.c_str(), semi)) + " has no shape that one product owns (Software\\Vendor, ...\\Uninstall\\Product, ...\\App Paths\\Program, a CLSID, Interface, TypeLib or AppID {GUID}, a ProgID Vendor.Name, Services\\Name), so Windows or other programs may keep keys and values under it: the uninstaller deletes it with all its subkeys",
            "list your values under it one by one with \";name\", or, if the key is your program's alone, allow the finding (--allow registry-shared-tree=TEXT)");
    }
  });
  if (!registryTrailing.empty())
    LINT("registry-unterminated", "registryList", registryTrailing, Quoted(page, registryTrailing) + " after the last \"|\" is ignored",
        "end every entry with \"|\"");

  // Shortcuts and the program group.
  for (int list = 0; list < kShortcutLists; ++list) {
    const char* field = kShortcutFieldNames[list];
    std::string_view rest = ForEachItem(cp, texts.text[3 + list], ';', [&](std::string_view name, size_t i) {
      if (name.empty())
        LINT("shortcut-empty-name", Item(field, i), name, "an empty name deletes nothing", "remove the empty name");
      else if (EndsWithNoCase(name, ".lnk"))
        LINT("shortcut-has-extension", Item(field, i), name, Quoted(page, name) + " ends in .lnk: the uninstaller adds .lnk again and finds nothing",
            "write the name without .lnk");
    });
    if (!rest.empty())
      LINT("shortcut-unterminated", field, rest, Quoted(page, rest) + " after the last \";\" is ignored",
          "end every name with \";\"");
  }
  std::string_view group = texts.text[2];
  std::vector<std::string> parts = GroupParts(cp, group);
  std::string groupName;
  for (const std::string& part : parts) groupName += (groupName.empty() ? "" : "\\") + part;
  if (!group.empty() && !uninst::IsSafeProgramGroup(cp, std::string(group).c_str())) {
    LINT("program-group-refused", "programGroup", group, Quoted(page, group) + " would reach the Programs folder itself or beyond it: nothing is deleted",
        "name the group's own folder, such as Vendor\\Product");
  } else if (!group.empty() && IsSharedProgramGroup(groupName)) {
    LINT("program-group-shared", "programGroup", group, Quoted(page, group) + " is a folder of the Programs menu that Windows or every product shares: the uninstaller deletes it with everything in it, the shortcuts of Windows and of other programs too",
        "give your program a group of its own, such as Vendor\\Product, or list its shortcuts by name");
  } else if (parts.size() > 1) {
    // The folder that holds it: the group up to its last backslash that a
    // name follows, without the backslashes before it (found as characters).
    std::vector<size_t> slashes;
    const char* end = group.data() + group.size();
    for (const char* at = group.data(); (at = cp.Find(at, end, '\\')); ++at)
      slashes.push_back(static_cast<size_t>(at - group.data()));
    size_t cut = group.size();
    for (int step = 0; step < 2; ++step) {  // the trailing backslashes, then the last name
      while (!slashes.empty() && slashes.back() + 1 == cut) cut = slashes.back(), slashes.pop_back();
      if (step == 0 && !slashes.empty()) cut = slashes.back(), slashes.pop_back();
    }
    std::string_view parent = group.substr(0, cut);
    LINT("program-group-nested", "programGroup", group, "only the innermost folder of " + Quoted(page, group) + " is deleted: " + Quoted(page, parent) + ", which holds it, stays, even when it is empty",
        "nothing, when other products of yours share that folder; else name it as the group");
  }

  // Messages.
  for (int m = 0; m < kMessages; ++m)
    if (texts.text[7 + m].substr(0, 4) == "TODO")
      LINT("placeholder-text", kMessageFieldNames[m], texts.text[7 + m], Quoted(page, texts.text[7 + m]) + " is a placeholder: the user would see it as it stands",
           "write the text the user is to read");
  if (texts.text[7].empty())
    LINT("no-caption", "messageCaption", kNoEntry, "without a caption no box is shown: no confirmation, no running-program box, no restart question",
        "give a caption");
  else if (texts.text[12].empty())
    LINT("no-restart-prompt", "restartPrompt", kNoEntry, "when something resists removal, no restart is offered and the leftovers stay",
        "write a Yes/No restart question");
}

#undef LINT


namespace {

// Gives the first `max` records of each kind and reason (0: all) and
// counts the rest, for one "omitted" record per kind and reason.
class Capper {
 public:
  Capper(size_t max, const std::function<void(const Json&)>& emit) : max_(max), emit_(emit) {}
  // `make` builds the record, and is called only for a record that is given.
  template <typename Make>
  void Give(const char* of, const char* reason, Make make) {
    size_t& seen = Seen(of, reason);
    if (!max_ || seen < max_) emit_(make());
    ++seen;
  }
  // The omitted records of kind `of`.
  void Close(const char* of) {
    std::sort(seen_.begin(), seen_.end());
    for (const auto& [key, seen] : seen_)
      if (key.first == of && max_ && seen > max_)
        emit_({{"record", "omitted"}, {"of", of}, {"reason", key.second}, {"count", seen - max_}});
  }

 private:
  // The count of kind and reason, found without building strings: there
  // are few of them, and millions of records.
  size_t& Seen(const char* of, const char* reason) {
    for (auto& [key, seen] : seen_)
      if (key.first == of && key.second == reason) return seen;
    seen_.push_back({{of, reason}, 0});
    return seen_.back().second;
  }
  size_t max_;
  const std::function<void(const Json&)>& emit_;
  std::vector<std::pair<std::pair<std::string, std::string>, size_t>> seen_;
};

}  // namespace

void PlanRecords(const std::string& bytes, const TargetCodePage& page, const Target& target,
                 size_t maxPerReason, const std::function<void(const Json&)>& emit) {
  // The engine's parse of every text but the removal entries, which are
  // judged one by one below with their reasons: the list of their paths
  // would grow with the file.
  DataFileTexts texts = SplitTexts(bytes);
  std::string others = bytes.substr(0, 4);
  if (bytes.size() >= 4) others += '\0';
  if (texts.found > 0) others.append(bytes, 4 + texts.text[0].size() + 1, std::string::npos);
  EntryEvaluator::Session session(target, page);
  uninst::RunState& state = session.state;
  uninst::RemovalList list;
  list.Attach(&session.platform);
  uninst::ParseDataFile(state, others.data(), static_cast<uint32_t>(others.size()), list);
  const uninst::UninstallData& data = state.data;
  const uninst::CodePage& cp = page.codePage;
  auto text = [&](std::string_view b) { return Utf8(page, b); };
  Capper capper(maxPerReason, emit);
  bool caption = *data.messageCaption != '\0';
  auto box = [&](const char* name, const char* field, const char* message) {
    Json record = {{"record", "box"}, {"box", name}, {"shown", caption && *message}};
    if (caption && *message) {
      record["caption"] = text(data.messageCaption);
      record["text"] = text(message);
    } else {
      record["reason"] = caption ? std::string(field) + " is empty" : "messageCaption is empty";
    }
    emit(record);
  };

  bool shared = target.machine.family == 3 && data.allUsers;
  emit({{"record", "machine"}, {"family", FamilyName(target.machine.family)},
        {"exeFolder", text(target.exeFolder)}, {"shortcutFolders", shared ? "all-users" : "own"}});
  box("confirmation", "confirmPrompt", data.confirmPrompt);
  box("running-program", "runningPrompt", data.runningPrompt);

  EntryEvaluator evaluator(target, page);
  EntryOutcome outcome;
  ForEachItem(cp, texts.text[0], '|', [&](std::string_view e, size_t) {
    evaluator.Evaluate(e.data(), e.data() + e.size(), &outcome);
    if (outcome.listed && uninst::IsExecutable(outcome.path.c_str()))
      capper.Give("program", "program", [&] { return Json{{"record", "program"}, {"path", text(outcome.path)}}; });
  });
  capper.Close("program");

  std::string group = data.programGroup;
  if (!group.empty() && !uninst::IsSafeProgramGroup(cp, group.c_str()))
    emit({{"record", "shortcut"}, {"refused", text(group)}, {"reason", "program-group-refused"}});
  session.platform.onShellDelete = [&](const char* path) {
    capper.Give("shortcut", "delete", [&] { return Json{{"record", "shortcut"}, {"delete", text(path)}}; });
  };
  uninst::RemoveShortcuts(state);
  capper.Close("shortcut");

  // Each action as a record, its names in UTF-8.
  struct Actions {
    const TargetCodePage& page;
    Capper& capper;
  } actions{page, capper};
  std::string copy = data.registryList;
  uninst::WalkRegistryList(cp, &copy[0],
                           [](void* context, const uninst::RegistryAction& a) {
                             auto* to = static_cast<Actions*>(context);
                             const char* action = a.deleteTree ? "delete-key" : "delete-value";
                             to->capper.Give("registry", action, [&] {
                               Json record = {{"record", "registry"}, {"action", action},
                                              {"key", Utf8(to->page, std::string(a.rootName) + "\\" + a.subkey)}};
                               if (!a.deleteTree) record["value"] = Utf8(to->page, a.valueName);
                               return record;
                             });
                           },
                           &actions);
  capper.Close("registry");

  ForEachItem(cp, texts.text[0], '|', [&](std::string_view e, size_t i) {
    evaluator.Evaluate(e.data(), e.data() + e.size(), &outcome);
    const char* reason = outcome.reason ? outcome.reason : outcome.listed ? "listed" : "dropped";
    capper.Give("entry", reason, [&] {
      Json record = {{"record", "entry"}, {"entry", i}, {"text", text(e)},
                     {"alternate", outcome.alternateName}, {"outcome", outcome.listed ? "listed" : "dropped"}};
      if (outcome.listed) record["path"] = text(outcome.path);
      if (outcome.reason) record["reason"] = outcome.reason;
      return record;
    });
  });
  capper.Close("entry");

  box("closing", "closingMessage", data.closingMessage);
  bool root = uninst::IsDriveOrShareRoot(cp, target.exeFolder.c_str());
  Json end = {{"record", "end"}, {"restartQuestion", caption && *data.restartPrompt},
              {"folderRemoved", !root}};
  if (caption && *data.restartPrompt) end["restartPrompt"] = text(data.restartPrompt);
  emit(end);
}

namespace {

// The plan's records as text for people, section by section in the run's
// order; a section's header is written when its first record comes, or
// when a later section begins.
class PlanText {
 public:
  PlanText(int family, std::ostream& out) : family_(family), out_(out) {}

  void operator()(const Json& r) {
    const std::string kind = Str(r["record"]);
    if (kind == "machine") {
      exeFolder_ = Str(r["exeFolder"]);
      shared_ = r["shortcutFolders"] == "all-users";
      out_ << "Windows family: " << kFamilyLongNames[family_] << " (OsFamily " << family_
           << "); uninstaller folder: " << exeFolder_ << "\n";
    } else if (kind == "box" && r["box"] == "confirmation") {
      out_ << "1. Confirmation: ";
      Box(r, " (OK goes on, anything else ends the run)", "; the run goes on\n");
    } else if (kind == "box" && r["box"] == "running-program") {
      out_ << "2. Running programs: while one of these is in use, ";
      Box(r, " (OK tests again, Cancel ends the run)", "; its deletion fails later\n");
      section_ = kPrograms;
    } else if (kind == "program") {
      Enter(kPrograms);
      out_ << "     " << Str(r["path"]) << "\n";
    } else if (kind == "shortcut") {
      Enter(kShortcuts);
      if (r.contains("refused")) out_ << "     refused: the program group " << Quote(r["refused"]) << " would reach the Programs folder itself or beyond it\n";
      else out_ << "     delete " << Str(r["delete"]) << "\n";
    } else if (kind == "registry") {
      Enter(kRegistry);
      if (r["action"] == "delete-key") out_ << "     delete key " << Str(r["key"]) << " with all its subkeys\n";
      else out_ << "     delete value " << Quote(r["value"]) << " of " << Str(r["key"]) << "\n";
    } else if (kind == "entry") {
      Enter(kEntries);
      Entry(r);
    } else if (kind == "omitted") {
      Enter(r["of"] == "program" ? kPrograms : r["of"] == "shortcut" ? kShortcuts : r["of"] == "registry" ? kRegistry : kEntries);
      out_ << "     ... and " << r["count"].get<size_t>() << " more (" << Str(r["of"]) << ": " << Str(r["reason"])
           << "; --max-per-reason 0 lists all)\n";
    } else if (kind == "box") {
      Enter(kClosing);
      out_ << "6. Closing: ";
      Box(r, "", "\n");
      out_ << "   The data file is deleted.\n";
    } else if (kind == "end") {
      End(r);
    }
  }

 private:
  enum Section { kBoxes, kPrograms, kShortcuts, kRegistry, kEntries, kClosing };
  static std::string Str(const Json& value) { return value.get<std::string>(); }
  static std::string Quote(const Json& value) { return "\"" + Str(value) + "\""; }

  void Box(const Json& r, const char* shown, const char* notShown) {
    if (r["shown"]) out_ << "box " << Quote(r["caption"]) << ": " << Quote(r["text"]) << shown << "\n";
    else out_ << "no box (" << Str(r["reason"]) << ")" << notShown;
  }

  // Ends the sections before `section` (saying so where one had nothing)
  // and writes the headers up to it.
  void Enter(Section section) {
    while (section_ < section) {
      if (section_ >= kPrograms && !lines_)
        out_ << (section_ == kPrograms ? "     (no program among the listed files)\n" : "     (nothing)\n");
      section_ = static_cast<Section>(section_ + 1);
      lines_ = 0;
      if (section_ == kShortcuts)
        out_ << "3. Program group and shortcuts (" << (shared_ ? "all users' folders" : "the user's own folders")
             << "; Send To is always the user's own):\n";
      if (section_ == kRegistry) out_ << "4. Registry:\n";
      if (section_ == kEntries) out_ << "5. Files and folders, in this order (a folder goes only when empty at its turn):\n";
    }
    ++lines_;
  }

  void Entry(const Json& e) {
    std::string reason = e.contains("reason") ? Str(e["reason"]) : "";
    if (e["outcome"] == "dropped") {
      out_ << "     dropped: removalEntries[" << e["entry"].get<size_t>() << "] " << Quote(e["text"]) << ": "
           << (reason == "macro-without-backslash" ? "a macro without a backslash"
               : reason == "folder-unavailable"   ? "the macro's folder cannot be had"
                                                  : "the path does not fit 258 characters")
           << "\n";
      return;
    }
    out_ << "     " << Str(e["path"]);
    if (reason == "matches-nothing") out_ << "   (ends in a backslash: matches nothing, passed over)";
    if (reason == "wildcard") out_ << "   (a pattern: at most its first match goes, then a restart is offered)";
    if (reason == "outside-machine") out_ << "   (a \\\\?\\ or \\\\.\\ path: Windows hands it on past its path rules, to whatever it names)";
    if (reason == "install-folder") out_ << "   (the uninstaller's own folder: it still holds uninst.exe, stays, and the run ends with the restart question)";
    out_ << "\n";
  }

  void End(const Json& end) {
    out_ << "7. If something resisted removal: ";
    if (end["restartQuestion"])
      out_ << "box " << Quote(end["restartPrompt"]) << "\n"
           << "     Yes: the leftovers, the uninstaller and its folder are deleted when Windows restarts\n"
           << "     No: the leftovers, the uninstaller and its folder stay; nothing is scheduled\n";
    else
      out_ << "no restart question (a text is empty): the leftovers, the uninstaller and its folder stay\n";
    out_ << "   Otherwise: a batch file deletes the uninstaller and its folder after the run.\n";
    if (!end["folderRemoved"])
      out_ << "   The uninstaller's folder " << exeFolder_
           << " is a drive or share root: it is never removed or scheduled, only uninst.exe goes.\n";
  }

  int family_;
  std::ostream& out_;
  std::string exeFolder_;
  bool shared_ = false;
  Section section_ = kBoxes;
  size_t lines_ = 0;
};

}  // namespace

void Plan(const std::string& bytes, const TargetCodePage& page, const Target& target,
          size_t maxPerReason, std::ostream& out) {
  PlanText text(target.machine.family, out);
  PlanRecords(bytes, page, target, maxPerReason, [&](const Json& record) { text(record); });
}

}  // namespace uninstdat
