// Plan and lint; see analysis.h.
#include "tools/uninstdat/analysis.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string_view>

#include "engine/data_file.h"
#include "engine/file_removal.h"
#include "engine/locations.h"
#include "engine/registry.h"
#include "engine/restart_schedule.h"
#include "engine/shortcuts.h"

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

// Calls visit(item, index) for each item of a terminated list and returns
// the text after the last terminator.
template <typename Visit>
std::string_view ForEachItem(const uninst::CodePage& codePage, std::string_view list, char terminator,
                             Visit visit) {
  const char* at = list.data();
  const char* end = at + list.size();
  size_t index = 0;
  while (const char* found = codePage.Find(at, end, terminator)) {
    visit(std::string_view(at, static_cast<size_t>(found - at)), index++);
    at = found + 1;
  }
  return std::string_view(at, static_cast<size_t>(end - at));
}

// The path with "." and ".." components resolved, as Windows resolves them
// before it removes a folder; "C:\\App\\." names C:\\App.
std::string Normalized(const uninst::CodePage& codePage, const std::string& path) {
  std::vector<std::string> parts;
  const char* at = path.c_str();
  while (true) {
    const char* slash = codePage.Find(at, '\\');
    std::string part(at, slash ? slash : at + strlen(at));
    if (part == ".." && parts.size() > 1) parts.pop_back();
    else if (part != "." && !(part.empty() && !parts.empty())) parts.push_back(part);
    if (!slash) break;
    at = slash + 1;
  }
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : "\\") + part;
  return joined;
}

bool EndsWithNoCase(std::string_view text, const char* suffix) {
  size_t n = strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (uninst::AsciiLower(text[text.size() - n + i]) != uninst::AsciiLower(suffix[i])) return false;
  return true;
}

// Key trees that belong to Windows or to every program: deleting one of them
// with all its subkeys harms far more than the program being removed.
const char* const kSharedTrees[] = {
    "SOFTWARE",
    "SOFTWARE\\CLASSES",
    "SOFTWARE\\MICROSOFT",
    "SOFTWARE\\MICROSOFT\\WINDOWS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICES",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHAREDDLLS",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION",
    "SOFTWARE\\POLICIES",
    "SOFTWARE\\WOW6432NODE",
    "SYSTEM",
    "SYSTEM\\CURRENTCONTROLSET",
    "SYSTEM\\CURRENTCONTROLSET\\SERVICES",
    "CONTROL PANEL",
    "ENVIRONMENT",
};
// HKEY_CLASSES_ROOT keys that every program shares: the common file types
// and the shell's own classes.
const char* const kSharedClasses[] = {
    "*", ".BAT", ".BMP", ".CMD", ".COM", ".CSV", ".DLL", ".DOC", ".EXE", ".GIF", ".HLP", ".HTM",
    ".HTML", ".ICO", ".INI", ".JPEG", ".JPG", ".JS", ".LNK", ".LOG", ".MP3", ".PDF", ".PNG",
    ".REG", ".RTF", ".TXT", ".URL", ".VBS", ".WAV", ".XML", ".ZIP", "ALLFILESYSTEMOBJECTS",
    "APPID", "CLSID", "DIRECTORY", "DRIVE", "EXEFILE", "FOLDER", "INTERFACE", "TXTFILE",
    "TYPELIB"};

}  // namespace

const char* SharedTree(uninst::RegKey root, const std::string& upperSubkey) {
  std::string subkey = upperSubkey;
  while (!subkey.empty() && subkey.back() == '\\') subkey.pop_back();
  if (root == uninst::kHkeyClassesRoot) {
    for (const char* name : kSharedClasses)
      if (subkey == name) return "a class that every program and Windows itself use";
    return nullptr;
  }
  for (const char* name : kSharedTrees)
    if (subkey == name) return "a tree that belongs to Windows or to every program";
  if (root == uninst::kHkeyLocalMachine || root == uninst::kHkeyCurrentUser)
    for (const char* name : kSharedClasses)
      if (subkey == std::string("SOFTWARE\\CLASSES\\") + name)
        return "a class that every program and Windows itself use";
  return nullptr;
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

void Findings::Add(const std::string& code, const std::string& where, const std::string& what,
                   const std::string& mend) {
  if (Admit(code.c_str())) Keep({code, where, what, mend});
}

bool Findings::Admit(const char* code) {
  ++total_;
  if (!keepPerCode_) return true;
  auto it = counts_.find(std::string_view(code));
  if (it == counts_.end()) it = counts_.emplace(code, 0).first;
  return it->second++ < keepPerCode_;
}

std::map<std::string, size_t> Findings::omitted() const {
  std::map<std::string, size_t> omitted;
  for (const auto& [code, count] : counts_)
    if (count > keepPerCode_) omitted[code] = count - keepPerCode_;
  return omitted;
}

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
                              {&m.commonFilesDir, "commonFilesDir"}})
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
      folder_(Normalized(page.codePage, UpperAscii(target.exeFolder, page.codePage))) {}
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
  } else if (outcome.path.find_first_of("*?") != std::string::npos) {
    outcome.reason = "wildcard";
  } else if (outcome.upper == folder_ ||
             ((outcome.upper.find(".\\") != std::string::npos || outcome.upper.back() == '.') &&
              Normalized(cp, outcome.upper) == folder_)) {
    outcome.reason = "install-folder";
  }
}

// Adds a finding, building its texts only when it is kept.
#define LINT(code, where, what, mend) \
  do {                                 \
    if (findings->Admit(code)) findings->Keep({code, where, what, mend}); \
  } while (0)

void Lint(const std::string& bytes, const std::vector<std::string>& decodeProblems,
          const TargetCodePage& page, const std::vector<Target>& targets, Findings* findings) {
  const uninst::CodePage& cp = page.codePage;
  auto count = [&](std::string_view s, char c) {
    int n = 0;
    const char* end = s.data() + s.size();
    for (const char* p = s.data(); (p = cp.Find(p, end, c)); ++p) ++n;
    return n;
  };
  for (const std::string& problem : decodeProblems)
    LINT("file-truncated", "file", problem, "write the file again with uninstdat build");
  DataFileTexts texts = SplitTexts(bytes);

  // Removal entries: per entry, then across entries per target.
  std::vector<std::unique_ptr<EntryEvaluator>> evaluators;
  std::vector<PathTable> tables(targets.size());
  for (const Target& target : targets) evaluators.emplace_back(new EntryEvaluator(target, page));
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
      LINT("nt-alternate-unclosed", Item("removalEntries", i), Quoted(page, e) + " has one \";\": its NT alternate needs a \";\" after it, so every family takes the default",
           "end the NT alternate with \";\" (default;nt;)");
    if (semicolons == 2) {
      const char* end = e.data() + e.size();
      const char* second = cp.Find(cp.Find(e.data(), end, ';') + 1, end, ';');
      if (second && second + 1 < end)
        LINT("alternates-incomplete", Item("removalEntries", i), Quoted(page, e) + " has two \";\": the text after the second is no alternate; Windows 98/Me and 95 need a third \";\"",
             "write default;nt;win98;win95");
    }
    unsigned emptyOn = 0, tooLong = 0, unavailable = 0, wild = 0, own = 0, shared = 0;
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
      if (reason == "install-folder") own |= bit;
      if (!outcome.listed) continue;
      const std::string& upper = outcome.upper;
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
      LINT("entry-names-own-folder", Item("removalEntries", i), "the chosen text is empty on " + families(emptyOn) + ": the path is the uninstaller's folder with a backslash after it, which matches nothing, so the entry does nothing there",
           "give every family that uses the entry a path, or drop the entry");
    if (noBackslash)
      LINT("macro-without-backslash", Item("removalEntries", i), Quoted(page, e) + " holds \"<\" but no backslash: the uninstaller drops it",
           "write the macro, a backslash and a name, e.g. <Win>\\widget.ini");
    if (unknownMacro)
      LINT("unknown-macro", Item("removalEntries", i), "the first component of " + Quoted(page, e) + " is no location macro: the uninstaller puts its own folder in its place",
           std::string("use one of ") + kMacroList);
    if (tooLong)
      LINT("path-does-not-fit", Item("removalEntries", i), "on " + families(tooLong) + " the path is longer than 258 characters: the entry is skipped",
           "shorten the path");
    if (unavailable)
      LINT("folder-unavailable", Item("removalEntries", i), "on " + families(unavailable) + " the macro's folder cannot be had (its registry value cannot be read, or it does not fit a path): the entry is skipped",
           "use a macro whose folder every machine has, or an absolute path");
    if (wild)
      LINT("wildcard-in-path", Item("removalEntries", i), "the path holds \"*\" or \"?\": the uninstaller takes it as a pattern, removes at most the first match and then offers a restart",
           "list each file by its name");
    if (own)
      LINT("install-folder-listed", Item("removalEntries", i), "on " + families(own) + " the entry names the uninstaller's own folder, which still holds uninst.exe at its turn: it stays, and every uninstall ends with the restart question",
           "drop the entry: the uninstaller's self-removal takes its folder away once it is empty");
    if (shared)
      LINT("shared-system-file", Item("removalEntries", i), "on " + families(shared) + " the path is a library in the system folder or a font, which other programs may use too; Windows counts the programs that share such a file, and this uninstaller does not look at that count",
           "list it only if no other program can use it (a name of your own), else leave it installed");
  });
  if (!trailing.empty())
    LINT("entry-unterminated", "removalEntries", Quoted(page, trailing) + " after the last \"|\" is ignored",
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
      LINT("folder-before-contents", Item("removalEntries", i),
           Quoted(page, e) + " comes before paths inside it: it is not empty at its turn, stays, and the run ends with the restart question",
           "list a folder after everything in it");
  });
  ForEachItem(cp, texts.text[0], '|', [&](std::string_view e, size_t i) {
    auto it = twice.find(i);
    if (it != twice.end())
      LINT("listed-twice", Item("removalEntries", i),
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
      LINT("registry-no-semicolon", where, Quoted(page, e) + " has no \";\": the uninstaller ignores it",
          "end a key with \";\" (whole key) or \";name\" (one value)");
    } else if (!backslash) {
      LINT("registry-no-subkey", where, Quoted(page, e) + " has no \"\\\" between root and subkey: ignored",
          "write ROOT\\subkey;value");
    } else if (!root) {
      LINT("registry-unknown-root", where, Quoted(page, std::string(e.c_str(), backslash)) + " is no root name: ignored",
          "use HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CURRENT_CONFIG or HKEY_DYN_DATA, without blanks or short forms");
    } else if (backslash + 1 == semi) {
      LINT("registry-empty-subkey", where, "the subkey is empty: " + std::string(acted ? "a value directly under a root is never deleted" : "the whole root would go, so the entry is skipped"),
          "name the key under the root");
    } else if (semi[1] == '\0') {
      if (const char* why = SharedTree(root, UpperAscii(std::string(backslash + 1, semi), cp)))
        LINT("registry-shared-tree", where, Quoted(page, std::string(e.c_str(), semi)) + " is " + why + ": the uninstaller deletes it with all its subkeys",
            "name your program's own key below it (such as Software\\Vendor\\Product), or a value with \";name\"");
    }
  });
  if (!registryTrailing.empty())
    LINT("registry-unterminated", "registryList", Quoted(page, registryTrailing) + " after the last \"|\" is ignored",
        "end every entry with \"|\"");

  // Shortcuts and the program group.
  for (int list = 0; list < kShortcutLists; ++list) {
    const char* field = kShortcutFieldNames[list];
    std::string_view rest = ForEachItem(cp, texts.text[3 + list], ';', [&](std::string_view name, size_t i) {
      if (name.empty())
        LINT("shortcut-empty-name", Item(field, i), "an empty name deletes nothing", "remove the empty name");
      else if (EndsWithNoCase(name, ".lnk"))
        LINT("shortcut-has-extension", Item(field, i), Quoted(page, name) + " ends in .lnk: the uninstaller adds .lnk again and finds nothing",
            "write the name without .lnk");
    });
    if (!rest.empty())
      LINT("shortcut-unterminated", field, Quoted(page, rest) + " after the last \";\" is ignored",
          "end every name with \";\"");
  }
  std::string group(texts.text[2]);
  if (!group.empty() && !uninst::IsSafeProgramGroup(cp, group.c_str()))
    LINT("program-group-refused", "programGroup", Quoted(page, group) + " would reach the Programs folder itself or beyond it: nothing is deleted",
        "name the group's own folder, such as Vendor\\Product");

  // Messages.
  static const char* const kMessageNames[6] = {"messageCaption", "confirmPrompt", "runningPrompt",
                                               "closingMessage", "reservedText", "restartPrompt"};
  for (int m = 0; m < 6; ++m)
    if (texts.text[7 + m].substr(0, 4) == "TODO")
      LINT("placeholder-text", kMessageNames[m], Quoted(page, texts.text[7 + m]) + " is a placeholder: the user would see it as it stands",
           "write the text the user is to read");
  if (texts.text[7].empty())
    LINT("no-caption", "messageCaption", "without a caption no box is shown: no confirmation, no running-program box, no restart question",
        "give a caption");
  else if (texts.text[12].empty())
    LINT("no-restart-prompt", "restartPrompt", "when something resists removal, no restart is offered and the leftovers stay",
        "write a Yes/No restart question");
}

#undef LINT

std::vector<Json> PlanRecords(const std::string& bytes, const TargetCodePage& page,
                              const Target& target) {
  EntryEvaluator::Session session(target, page);
  uninst::RunState& state = session.state;
  uninst::RemovalList list;
  list.Attach(&session.platform);
  uninst::ParseDataFile(state, bytes.data(), static_cast<uint32_t>(bytes.size()), list);
  list.Clear();  // the entries are judged one by one below, with their reasons
  const uninst::UninstallData& data = state.data;
  const uninst::CodePage& cp = page.codePage;
  auto text = [&](std::string_view b) { return Utf8(page, b); };
  bool caption = *data.messageCaption != '\0';
  std::vector<Json> records;
  auto box = [&](const char* name, const char* field, const char* message) {
    Json record = {{"record", "box"}, {"box", name}, {"shown", caption && *message}};
    if (caption && *message) {
      record["caption"] = text(data.messageCaption);
      record["text"] = text(message);
    } else {
      record["reason"] = caption ? std::string(field) + " is empty" : "messageCaption is empty";
    }
    records.push_back(record);
  };

  bool shared = target.machine.family == 3 && data.allUsers;
  records.push_back({{"record", "machine"}, {"family", FamilyName(target.machine.family)},
                     {"exeFolder", text(target.exeFolder)},
                     {"shortcutFolders", shared ? "all-users" : "own"}});
  box("confirmation", "confirmPrompt", data.confirmPrompt);
  box("running-program", "runningPrompt", data.runningPrompt);

  EntryEvaluator evaluator(target, page);
  std::vector<Json> entries;
  std::vector<std::string> programs;
  DataFileTexts texts = SplitTexts(bytes);
  EntryOutcome outcome;
  ForEachItem(cp, texts.text[0], '|', [&](std::string_view e, size_t i) {
    evaluator.Evaluate(e.data(), e.data() + e.size(), &outcome);
    Json record = {{"record", "entry"}, {"entry", i}, {"text", text(e)},
                   {"alternate", outcome.alternateName}, {"outcome", outcome.listed ? "listed" : "dropped"}};
    if (outcome.listed) record["path"] = text(outcome.path);
    if (outcome.reason) record["reason"] = outcome.reason;
    if (outcome.listed && uninst::IsExecutable(outcome.path.c_str())) programs.push_back(text(outcome.path));
    entries.push_back(record);
  });
  for (const std::string& program : programs) records.push_back({{"record", "program"}, {"path", program}});

  std::string group = data.programGroup;
  if (!group.empty() && !uninst::IsSafeProgramGroup(cp, group.c_str()))
    records.push_back({{"record", "shortcut"}, {"refused", text(group)}, {"reason", "program-group-refused"}});
  uninst::RemoveShortcuts(state);
  for (const std::string& path : session.platform.deleted)
    records.push_back({{"record", "shortcut"}, {"delete", text(path)}});

  // Each action as a record, its names in UTF-8.
  struct Actions {
    const TargetCodePage& page;
    std::vector<Json>& records;
  } actions{page, records};
  std::string copy = data.registryList;
  uninst::WalkRegistryList(cp, &copy[0],
                           [](void* context, const uninst::RegistryAction& a) {
                             auto* to = static_cast<Actions*>(context);
                             Json record = {{"record", "registry"},
                                            {"action", a.deleteTree ? "delete-key" : "delete-value"},
                                            {"key", Utf8(to->page, std::string(a.rootName) + "\\" + a.subkey)}};
                             if (!a.deleteTree) record["value"] = Utf8(to->page, a.valueName);
                             to->records.push_back(record);
                           },
                           &actions);
  for (Json& entry : entries) records.push_back(std::move(entry));

  box("closing", "closingMessage", data.closingMessage);
  bool root = uninst::IsDriveOrShareRoot(cp, target.exeFolder.c_str());
  Json end = {{"record", "end"}, {"restartQuestion", caption && *data.restartPrompt},
              {"folderRemoved", !root}};
  if (caption && *data.restartPrompt) end["restartPrompt"] = text(data.restartPrompt);
  records.push_back(end);
  return records;
}

std::string Plan(const std::string& bytes, const TargetCodePage& page, const Target& target) {
  std::vector<Json> records = PlanRecords(bytes, page, target);
  auto str = [](const Json& value) { return value.get<std::string>(); };
  auto quoted = [&](const Json& value) { return "\"" + str(value) + "\""; };
  std::ostringstream out;
  auto boxLine = [&](const Json& r, const char* shown) {
    if (r["shown"]) out << "box " << quoted(r["caption"]) << ": " << quoted(r["text"]) << shown << "\n";
    else out << "no box (" << str(r["reason"]) << ")";
  };
  std::vector<const Json*> of[8];
  enum { kBox, kProgram, kShortcut, kRegistry, kEntry, kEnd };
  for (const Json& r : records) {
    const std::string kind = str(r["record"]);
    int k = kind == "box" ? kBox : kind == "program" ? kProgram : kind == "shortcut" ? kShortcut
          : kind == "registry" ? kRegistry : kind == "entry" ? kEntry : kind == "end" ? kEnd : 7;
    of[k].push_back(&r);
  }
  const Json& machine = records[0];
  int family = target.machine.family;
  out << "Windows family: " << kFamilyLongNames[family] << " (OsFamily " << family
      << "); uninstaller folder: " << str(machine["exeFolder"]) << "\n";
  out << "1. Confirmation: ";
  boxLine(*of[kBox][0], " (OK goes on, anything else ends the run)");
  if (!(*of[kBox][0])["shown"]) out << "; the run goes on\n";
  out << "2. Running programs: while one of these is in use, ";
  boxLine(*of[kBox][1], " (OK tests again, Cancel ends the run)");
  if (!(*of[kBox][1])["shown"]) out << "; its deletion fails later\n";
  for (const Json* r : of[kProgram]) out << "     " << str((*r)["path"]) << "\n";
  if (of[kProgram].empty()) out << "     (no program among the listed files)\n";

  bool shared = machine["shortcutFolders"] == "all-users";
  out << "3. Program group and shortcuts (" << (shared ? "all users' folders" : "the user's own folders")
      << "; Send To is always the user's own):\n";
  for (const Json* r : of[kShortcut]) {
    if (r->contains("refused")) out << "     refused: the program group " << quoted((*r)["refused"]) << " would reach the Programs folder itself or beyond it\n";
    else out << "     delete " << str((*r)["delete"]) << "\n";
  }
  if (of[kShortcut].empty()) out << "     (nothing)\n";

  out << "4. Registry:\n";
  for (const Json* r : of[kRegistry]) {
    if ((*r)["action"] == "delete-key") out << "     delete key " << str((*r)["key"]) << " with all its subkeys\n";
    else out << "     delete value " << quoted((*r)["value"]) << " of " << str((*r)["key"]) << "\n";
  }
  if (of[kRegistry].empty()) out << "     (nothing)\n";

  out << "5. Files and folders, in this order (a folder goes only when empty at its turn):\n";
  for (const Json* r : of[kEntry]) {
    const Json& e = *r;
    std::string where = "removalEntries[" + std::to_string(e["entry"].get<size_t>()) + "]";
    std::string reason = e.contains("reason") ? str(e["reason"]) : "";
    if (e["outcome"] == "dropped") {
      out << "     dropped: " << where << " " << quoted(e["text"]) << ": "
          << (reason == "macro-without-backslash" ? "a macro without a backslash"
              : reason == "folder-unavailable"   ? "the macro's folder cannot be had"
                                                 : "the path does not fit 258 characters")
          << "\n";
      continue;
    }
    out << "     " << str(e["path"]);
    if (reason == "matches-nothing") out << "   (ends in a backslash: matches nothing, passed over)";
    if (reason == "wildcard") out << "   (a pattern: at most its first match goes, then a restart is offered)";
    if (reason == "install-folder") out << "   (the uninstaller's own folder: it still holds uninst.exe, stays, and the run ends with the restart question)";
    out << "\n";
  }
  if (of[kEntry].empty()) out << "     (nothing)\n";

  out << "6. Closing: ";
  boxLine(*of[kBox][2], "");
  if (!(*of[kBox][2])["shown"]) out << "\n";
  out << "   The data file is deleted.\n";
  const Json& end = *of[kEnd][0];
  out << "7. If something resisted removal: ";
  if (end["restartQuestion"])
    out << "box " << quoted(end["restartPrompt"]) << "\n"
        << "     Yes: the leftovers, the uninstaller and its folder are deleted when Windows restarts\n"
        << "     No: the leftovers, the uninstaller and its folder stay; nothing is scheduled\n";
  else
    out << "no restart question (a text is empty): the leftovers, the uninstaller and its folder stay\n";
  out << "   Otherwise: a batch file deletes the uninstaller and its folder after the run.\n";
  if (!end["folderRemoved"])
    out << "   The uninstaller's folder " << str(machine["exeFolder"])
        << " is a drive or share root: it is never removed or scheduled, only uninst.exe goes.\n";
  return out.str();
}

}  // namespace uninstdat
