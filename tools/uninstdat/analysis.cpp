// Plan and lint; see analysis.h.
#include "tools/uninstdat/analysis.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>

#include "engine/data_file.h"
#include "engine/file_removal.h"
#include "engine/locations.h"
#include "engine/registry.h"
#include "engine/shortcuts.h"

namespace uninstdat {
namespace {

const char* const kFamilyNames[] = {"unknown", "Windows 95", "Windows 98/Me", "NT family"};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return text;
}

// A run state over a described machine.
struct Session {
  Session(const Machine& machine, const TargetCodePage& target, const std::string& exeFolder)
      : platform(machine, target.codePage), state(platform) {
    state.osFamily = machine.family;
    state.codePage = target.codePage;
    uninst::CopyBounded(state.exeFolder, uninst::kMaxPath, exeFolder.c_str());
  }
  MachinePlatform platform;
  uninst::RunState state;
};

std::string Utf8(const TargetCodePage& target, const std::string& bytes) {
  auto text = target.converter.ToUtf8(bytes);
  return text ? *text : "(bytes not text in code page " + std::to_string(target.converter.number()) + ")";
}

std::string Quoted(const TargetCodePage& target, const std::string& bytes) {
  return "\"" + Utf8(target, bytes) + "\"";
}

}  // namespace

std::string Plan(const std::string& bytes, const TargetCodePage& target, const Machine& machine,
                 const std::string& exeFolder) {
  Session session(machine, target, exeFolder);
  uninst::RunState& state = session.state;
  uninst::RemovalList list;
  list.Attach(&session.platform);
  uninst::ParseDataFile(state, bytes.data(), static_cast<uint32_t>(bytes.size()), list);
  const uninst::UninstallData& data = state.data;
  auto say = [&](const char* text) { return Quoted(target, text); };
  bool caption = *data.messageCaption != '\0';
  std::ostringstream out;

  out << "Windows family: " << kFamilyNames[machine.family] << " (OsFamily " << machine.family
      << "); uninstaller folder: " << Utf8(target, exeFolder) << "\n";
  out << "1. Confirmation: ";
  if (caption && *data.confirmPrompt)
    out << "box " << say(data.messageCaption) << ": " << say(data.confirmPrompt)
        << " (OK goes on, anything else ends the run)\n";
  else
    out << "no box (" << (caption ? "confirmPrompt" : "messageCaption") << " is empty); the run goes on\n";

  out << "2. Running programs: while one of these is in use, ";
  if (caption && *data.runningPrompt)
    out << "box " << say(data.runningPrompt) << " (OK tests again, Cancel ends the run)\n";
  else
    out << "no box (a text is empty); its deletion fails later\n";
  int programs = 0;
  for (const char* path = list.First(); path; path = list.Next(path))
    if (uninst::IsExecutable(path)) out << "     " << Utf8(target, path) << "\n", ++programs;
  if (!programs) out << "     (no program among the listed files)\n";

  out << "3. Program group and shortcuts ("
      << (machine.family == 3 && data.allUsers ? "all users' folders" : "the user's own folders")
      << "; Send To is always the user's own):\n";
  uninst::RemoveShortcuts(state);
  for (const std::string& path : session.platform.deleted)
    out << "     delete " << Utf8(target, path) << "\n";
  if (session.platform.deleted.empty()) out << "     (nothing)\n";

  out << "4. Registry:\n";
  std::string copy = data.registryList;
  std::vector<std::string> actions;
  uninst::WalkRegistryList(target.codePage, &copy[0],
                           [](void* context, const uninst::RegistryAction& a) {
                             auto* lines = static_cast<std::vector<std::string>*>(context);
                             std::string key = std::string(a.rootName) + "\\" + a.subkey;
                             lines->push_back(a.deleteTree ? "delete key " + key + " with all its subkeys"
                                                           : "delete value \"" + std::string(a.valueName) +
                                                                 "\" of " + key);
                           },
                           &actions);
  for (const std::string& action : actions) out << "     " << Utf8(target, action) << "\n";
  if (actions.empty()) out << "     (nothing)\n";

  out << "5. Files and folders, in this order (a folder goes only when empty at its turn):\n";
  for (const char* path = list.First(); path; path = list.Next(path))
    out << "     " << Utf8(target, path) << "\n";
  if (list.IsEmpty()) out << "     (nothing)\n";

  out << "6. Closing: ";
  if (caption && *data.closingMessage) out << "box " << say(data.closingMessage) << "\n";
  else out << "no box\n";
  out << "   The data file is deleted.\n";
  out << "7. If something resisted removal: ";
  if (caption && *data.restartPrompt)
    out << "box " << say(data.restartPrompt)
        << " (Yes: the leftovers, the uninstaller and its folder are deleted when Windows restarts)\n";
  else
    out << "no restart question (a text is empty); the leftovers stay\n";
  out << "   Otherwise: a batch file deletes the uninstaller and its folder after the run.\n";
  return out.str();
}

std::vector<Finding> Lint(const DataFileModel& model,
                          const std::vector<std::string>& decodeProblems,
                          const TargetCodePage& target, const std::string& exeFolder) {
  std::vector<Finding> findings;
  auto add = [&](const std::string& code, const std::string& where, const std::string& what,
                 const std::string& mend) { findings.push_back({code, where, what, mend}); };
  const uninst::CodePage& cp = target.codePage;
  auto count = [&](const std::string& s, char c) {
    int n = 0;
    const char* end = s.c_str() + s.size();
    for (const char* p = s.c_str(); (p = cp.Find(p, end, c)); ++p) ++n;
    return n;
  };

  for (const std::string& problem : decodeProblems)
    add("file-truncated", "file", problem, "write the file again with uninstdat build");

  // Removal entries: per entry, then per family over the paths they yield.
  const auto& entries = model.removalEntries.items;
  std::map<int, std::vector<std::pair<std::string, size_t>>> paths;  // family: (path, entry)
  std::unique_ptr<Session> sessions[4];
  for (int family = 1; family <= 3; ++family)
    sessions[family].reset(new Session(DefaultMachine(family), target, exeFolder));
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& e = entries[i];
    std::string where = "removalEntries[" + std::to_string(i) + "]";
    int semicolons = count(e, ';');
    if (semicolons == 1)
      add("nt-alternate-unclosed", where, Quoted(target, e) + " has one \";\": its NT alternate needs a \";\" after it, so every family takes the default",
          "end the NT alternate with \";\" (default;nt;)");
    const char* second = semicolons == 2 ? cp.Find(cp.Find(e.c_str(), ';') + 1, ';') : nullptr;
    if (second && second[1])
      add("alternates-incomplete", where, Quoted(target, e) + " has two \";\": the text after the second is no alternate; Windows 98/Me and 95 need a third \";\"",
          "write default;nt;win98;win95");
    std::vector<std::string> emptyOn, tooLong, wild;
    bool noBackslash = false, unknownMacro = false;
    for (int family = 1; family <= 3; ++family) {
      Session& session = *sessions[family];
      uninst::TextRange alt = uninst::ChooseAlternate(cp, e.c_str(), e.c_str() + e.size(), family);
      if (alt.length == 0) emptyOn.push_back(kFamilyNames[family]);
      std::string text(alt.begin, alt.length);
      if (cp.Find(alt.begin, alt.begin + alt.length, '<')) {
        size_t backslash = text.find('\\');
        if (backslash == std::string::npos) noBackslash = true;
        else if (!uninst::IsLocationMacro(text.c_str(), backslash)) unknownMacro = true;
      }
      char work[uninst::kMaxPath];
      uninst::TextRange path;
      if (!uninst::BuildRemovalPath(session.state, alt, work, &path)) {
        if (!cp.Find(alt.begin, alt.begin + alt.length, '<') || text.find('\\') != std::string::npos)
          tooLong.push_back(kFamilyNames[family]);
        continue;
      }
      std::string built(path.begin, path.length);
      if (built.find_first_of("*?") != std::string::npos) wild.push_back(kFamilyNames[family]);
      paths[family].push_back({built, i});
    }
    auto families = [](const std::vector<std::string>& names) {
      std::string text;
      for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
      return text;
    };
    if (!emptyOn.empty())
      add("entry-names-own-folder", where, "the chosen text is empty on " + families(emptyOn) + ": the entry names the uninstaller's own folder",
          "give every family that uses the entry a path, or drop the entry");
    if (noBackslash)
      add("macro-without-backslash", where, Quoted(target, e) + " holds \"<\" but no backslash: the uninstaller drops it",
          "write the macro, a backslash and a name, e.g. <Win>\\widget.ini");
    if (unknownMacro)
      add("unknown-macro", where, "the first component of " + Quoted(target, e) + " is no location macro: the uninstaller puts its own folder in its place",
          "use one of <Exe> <Win> <Sys> <Sys32> <Autosys> <Fonts> <WinTemp> <InstallFolder> <ProgramFiles> <CommonFiles>");
    if (!tooLong.empty())
      add("path-does-not-fit", where, "on " + families(tooLong) + " the path is longer than 258 characters or its folder cannot be had: the entry is skipped",
          "shorten the path");
    if (!wild.empty())
      add("wildcard-in-path", where, "the path holds \"*\" or \"?\": the uninstaller takes it as a pattern, removes at most the first match and then offers a restart",
          "list each file by its name");
  }
  if (!model.removalEntries.trailing.empty())
    add("entry-unterminated", "removalEntries", Quoted(target, model.removalEntries.trailing) + " after the last \"|\" is ignored",
        "end every entry with \"|\"");
  std::map<size_t, std::string> folderFirst, twice;
  for (auto& [family, list] : paths) {
    std::vector<std::pair<std::string, size_t>> sorted;  // upper path, position
    for (size_t k = 0; k < list.size(); ++k) sorted.push_back({Upper(list[k].first), k});
    std::sort(sorted.begin(), sorted.end());
    for (size_t s = 0; s < sorted.size(); ++s) {
      const auto& [path, k] = sorted[s];
      if (s + 1 < sorted.size() && sorted[s + 1].first == path) twice[list[k].second] = list[k].first;
      // A path that ends in a backslash is found by nothing and never removed.
      if (path.back() == '\\') continue;
      std::string inside = path + "\\";
      for (auto it = std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(inside, size_t(0)));
           it != sorted.end() && it->first.compare(0, inside.size(), inside) == 0; ++it)
        if (it->second > k) {
          folderFirst[list[k].second] = list[k].first;
          break;
        }
    }
  }
  for (const auto& [entry, path] : folderFirst)
    add("folder-before-contents", "removalEntries[" + std::to_string(entry) + "]",
        Quoted(target, path) + " comes before paths inside it: it is not empty at its turn, stays, and the run ends with the restart question",
        "list a folder after everything in it");
  for (const auto& [entry, path] : twice)
    add("listed-twice", "removalEntries[" + std::to_string(entry) + "]",
        Quoted(target, path) + " is listed more than once", "list each path once");

  // Registry entries, each walked alone with the engine's walk.
  for (size_t i = 0; i < model.registryList.items.size(); ++i) {
    const std::string& e = model.registryList.items[i];
    std::string where = "registryList[" + std::to_string(i) + "]";
    if (e.empty()) continue;
    std::string copy = e + "|";
    bool acted = false;
    uninst::WalkRegistryList(cp, &copy[0], [](void* c, const uninst::RegistryAction&) { *static_cast<bool*>(c) = true; }, &acted);
    const char* semi = cp.Find(e.c_str(), ';');
    const char* backslash = semi ? cp.Find(e.c_str(), semi, '\\') : nullptr;
    if (!semi)
      add("registry-no-semicolon", where, Quoted(target, e) + " has no \";\": the uninstaller ignores it",
          "end a key with \";\" (whole key) or \";name\" (one value)");
    else if (!backslash)
      add("registry-no-subkey", where, Quoted(target, e) + " has no \"\\\" between root and subkey: ignored",
          "write ROOT\\subkey;value");
    else if (!uninst::LookupRootName(std::string(e.c_str(), backslash).c_str()))
      add("registry-unknown-root", where, Quoted(target, std::string(e.c_str(), backslash)) + " is no root name: ignored",
          "use HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CURRENT_CONFIG or HKEY_DYN_DATA, without blanks or short forms");
    else if (backslash + 1 == semi)
      add("registry-empty-subkey", where, "the subkey is empty: " + std::string(acted ? "a value directly under a root is never deleted" : "the whole root would go, so the entry is skipped"),
          "name the key under the root");
  }
  if (!model.registryList.trailing.empty())
    add("registry-unterminated", "registryList", Quoted(target, model.registryList.trailing) + " after the last \"|\" is ignored",
        "end every entry with \"|\"");

  // Shortcuts and the program group.
  for (int list = 0; list < kShortcutLists; ++list) {
    const char* field = kShortcutFieldNames[list];
    for (size_t i = 0; i < model.shortcuts[list].items.size(); ++i) {
      const std::string& name = model.shortcuts[list].items[i];
      std::string where = std::string(field) + "[" + std::to_string(i) + "]";
      if (name.empty())
        add("shortcut-empty-name", where, "an empty name deletes nothing", "remove the empty name");
      else if (name.size() >= 4 && Upper(name.substr(name.size() - 4)) == ".LNK")
        add("shortcut-has-extension", where, Quoted(target, name) + " ends in .lnk: the uninstaller adds .lnk again and finds nothing",
            "write the name without .lnk");
    }
    if (!model.shortcuts[list].trailing.empty())
      add("shortcut-unterminated", field, Quoted(target, model.shortcuts[list].trailing) + " after the last \";\" is ignored",
          "end every name with \";\"");
  }
  if (!model.programGroup.empty() && !uninst::IsSafeProgramGroup(cp, model.programGroup.c_str()))
    add("program-group-refused", "programGroup", Quoted(target, model.programGroup) + " would reach the Programs folder itself or beyond it: nothing is deleted",
        "name the group's own folder, such as Vendor\\Product");

  // Messages.
  if (model.messages[0].empty())
    add("no-caption", "messageCaption", "without a caption no box is shown: no confirmation, no running-program box, no restart question",
        "give a caption");
  else if (model.messages[5].empty())
    add("no-restart-prompt", "restartPrompt", "when something resists removal, no restart is offered and the leftovers stay",
        "write a Yes/No restart question");
  return findings;
}

}  // namespace uninstdat
