// From a staged installation to a manifest; see scan.h.
#include "tools/uninstdat/scan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "engine/registry.h"
#include "tools/uninstdat/analysis.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/io.h"
#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/reference.h"
#include "tools/uninstdat/stage.h"

namespace uninstdat {
namespace fs = std::filesystem;
namespace {

// Whether `path` is `base` or inside it (ASCII case ignored), and the rest.
bool Under(const std::string& path, const std::string& base, std::string* rest) {
  std::string p = UpperAscii(path), b = UpperAscii(base);
  while (!b.empty() && b.back() == '\\') b.pop_back();
  if (p == b) return rest->clear(), true;
  if (p.compare(0, b.size() + 1, b + "\\") != 0) return false;
  *rest = path.substr(b.size() + 1);
  return true;
}

// The names in a folder, sorted by their bytes, so that the output is stable.
std::vector<fs::directory_entry> Sorted(const fs::path& folder) {
  std::vector<fs::directory_entry> entries;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) entries.push_back(entry);
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) {
              return a.path().filename().string() < b.path().filename().string();
            });
  return entries;
}

struct Base {
  std::string folder;  // Windows path
  std::string macro;   // "" for the install folder: entries relative to it
};

class EntryWriter {
 public:
  explicit EntryWriter(const ScanOptions& options) : machineFolders_(options.machine, codePage_) {
    const Machine& m = options.machine;
    auto add = [&](const std::string& folder, const char* macro) {
      std::string f = folder;
      while (!f.empty() && f.back() == '\\') f.pop_back();
      if (!f.empty()) bases_.push_back({f, macro});
    };
    add(options.installFolder, "");
    add(m.windowsDir, "<Win>");
    add(m.systemDir, "<Autosys>");
    auto fonts = m.shellFolders.find(uninst::kCsidlFonts);
    add(fonts != m.shellFolders.end() ? fonts->second : m.windowsDir + "\\Fonts", "<Fonts>");
    add(m.tempDir, "<WinTemp>");
    add(m.programFilesDir, "<ProgramFiles>");
    add(m.commonFilesDir, "<CommonFiles>");
  }

  // The entry for a staged path: relative inside the install folder, through
  // the macro of the deepest machine folder it lies in, else absolute.
  std::string Entry(const std::string& path) const {
    const Base* best = nullptr;
    std::string bestRest;
    for (const Base& base : bases_) {
      std::string rest;
      if (Under(path, base.folder, &rest) && !rest.empty() &&
          (!best || base.folder.size() > best->folder.size()))
        best = &base, bestRest = rest;
    }
    if (!best) return path;
    return best->macro.empty() ? bestRest : best->macro + "\\" + bestRest;
  }

  // A folder is the installer's own, and listed, unless a fresh machine has
  // it (C:\Windows, its Fonts, C:\ProgramData, ...: nobody's to remove), or
  // it is the install folder or holds it: that goes by the uninstaller's
  // self-removal.
  bool Listed(const std::string& folder) const {
    if (machineFolders_.Has(folder)) return false;
    for (const Base& base : bases_) {
      std::string rest;
      if (Under(base.folder, folder, &rest)) return false;
    }
    return true;
  }

 private:
  std::vector<Base> bases_;
  uninst::CodePage codePage_;  // UTF-8: no lead bytes
  MachineFolders machineFolders_;
};

// Every file, then every folder after all it holds (post-order, by name).
void Walk(const fs::path& folder, const std::string& windows, const EntryWriter& writer,
          Json* entries) {
  std::vector<fs::directory_entry> children = Sorted(folder);
  for (const fs::directory_entry& child : children)
    if (!child.is_directory()) entries->push_back(writer.Entry(windows + "\\" + child.path().filename().string()));
  for (const fs::directory_entry& child : children)
    if (child.is_directory()) {
      std::string path = windows + "\\" + child.path().filename().string();
      Walk(child.path(), path, writer, entries);
      if (writer.Listed(path)) entries->push_back(writer.Entry(path));
    }
}

// Shortcut names below a shell folder: relative paths without ".lnk".
void Shortcuts(const fs::path& folder, const std::string& prefix, const char* field, Json* names,
               std::vector<std::string>* notes) {
  for (const fs::directory_entry& child : Sorted(folder)) {
    std::string name = child.path().filename().string();
    if (child.is_directory()) {
      notes->push_back(std::string(field) + ": the folder " + prefix + name +
                       " is not removed, only the shortcuts in it");
      Shortcuts(child.path(), prefix + name + "\\", field, names, notes);
    } else if (name.size() > 4 && UpperAscii(name.substr(name.size() - 4)) == ".LNK") {
      names->push_back(prefix + name.substr(0, name.size() - 4));
    } else {
      notes->push_back(std::string(field) + ": " + prefix + name + " is no shortcut (.lnk) and is not listed");
    }
  }
}

const char* const kRootNames[][2] = {
    {"HKEY_CLASSES_ROOT", "HKCR"}, {"HKEY_LOCAL_MACHINE", "HKLM"}, {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_USERS", "HKU"},         {"HKEY_CURRENT_CONFIG", "HKCC"}, {"HKEY_DYN_DATA", "HKDD"}};

// ROOT\subkey with the root's full name; empty when the root is unknown.
std::string FullKey(const std::string& key) {
  size_t backslash = key.find('\\');
  std::string root = UpperAscii(key.substr(0, backslash));
  for (const auto& names : kRootNames)
    if (root == names[0] || root == names[1])
      return std::string(names[0]) + (backslash == std::string::npos ? "" : key.substr(backslash));
  return "";
}

}  // namespace

bool DecodeRegistryExport(const std::string& bytes, int codePage, std::string* text, std::string* error) {
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    auto converted = Utf16LeToUtf8(bytes.substr(2));
    if (!converted) return *error = "the UTF-16 text does not convert", false;
    *text = *converted;
  } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    *text = bytes.substr(3);
  } else if (bytes.compare(0, 36, "Windows Registry Editor Version 5.00") == 0 &&
             IsValidUtf8(bytes)) {
    *text = bytes;  // version 5 is Unicode: without a byte-order mark, UTF-8
  } else {
    auto converted = CodePageConverter(codePage).ToUtf8(bytes);
    if (!converted) return *error = "the text is not in code page " + std::to_string(codePage), false;
    *text = *converted;
  }
  return true;
}

bool ParseRegistryExport(const std::string& bytes, int codePage, std::vector<RegistryItem>* items,
                         std::string* error, std::vector<RegistryItem>* deletions) {
  std::string text;
  if (!DecodeRegistryExport(bytes, codePage, &text, error)) return false;
  // Logical lines: a trailing backslash continues a line (long hex values).
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line, pending;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pending += line;
    if (!pending.empty() && pending.back() == '\\' && pending.front() != '[') {
      pending.pop_back();
      continue;
    }
    lines.push_back(pending);
    pending.clear();
  }
  if (!pending.empty()) lines.push_back(pending);
  if (lines.empty() || (lines[0] != "REGEDIT4" && lines[0] != "Windows Registry Editor Version 5.00"))
    return *error = "the first line is neither REGEDIT4 nor \"Windows Registry Editor Version 5.00\"", false;

  std::string key;  // the current section's key; empty after a deletion section
  for (size_t n = 1; n < lines.size(); ++n) {
    const std::string& l = lines[n];
    if (l.empty() || l[0] == ';') continue;
    if (l[0] == '[') {
      size_t close = l.rfind(']');
      if (close == std::string::npos) return *error = "line " + std::to_string(n + 1) + ": a key without \"]\"", false;
      std::string name = l.substr(1, close - 1);
      if (!name.empty() && name[0] == '-') {
        key.clear();  // deleted, not created
        if (deletions) deletions->push_back({FullKey(name.substr(1)), "", false});
        continue;
      }
      key = FullKey(name);
      if (key.empty()) return *error = "line " + std::to_string(n + 1) + ": no registry root in [" + name + "]", false;
      items->push_back({key, "", false});
      continue;
    }
    if (key.empty()) continue;
    size_t eq = std::string::npos;
    std::string value;
    if (l[0] == '@') {
      eq = 1;
    } else if (l[0] == '"') {
      size_t i = 1;
      for (; i < l.size() && l[i] != '"'; ++i) {
        if (l[i] == '\\' && i + 1 < l.size()) ++i;
        value += l[i];
      }
      eq = i + 1;
    }
    if (eq == std::string::npos || eq >= l.size() || l[eq] != '=') continue;
    if (l.compare(eq + 1, std::string::npos, "-") == 0) {  // a deletion
      if (deletions) deletions->push_back({key, value, l[0] == '@'});
      continue;
    }
    items->push_back({key, value, l[0] == '@'});
  }
  return true;
}

Json RegistryEntries(const std::vector<RegistryItem>& items, std::vector<std::string>* notes) {
  Json registry = Json::array();
  std::set<std::string> whole, values, noted;  // canonical keys, "KEY;VALUE" in upper case
  auto covered = [&](const std::string& canonical) {
    for (size_t at = canonical.size(); at != std::string::npos && at > 0; at = canonical.rfind('\\', at - 1))
      if (whole.count(canonical.substr(0, at))) return true;
    return false;
  };
  for (const RegistryItem& item : items) {
    std::string canonical = CanonicalKey(item.key);
    if (covered(canonical)) continue;
    if (item.value.empty() && !item.defaultValue) {
      KeyVerdict verdict = JudgeWholeKey(item.key);
      if (verdict.kind == KeyVerdict::kProduct) {
        registry.push_back({{"key", item.key}});
        whole.insert(canonical);
      } else if (verdict.kind == KeyVerdict::kShared && noted.insert(canonical).second) {
        notes->push_back("registry.reg: " + item.key +
                         " has no shape that one product owns: its values are listed one by one, and the key stays");
      }
    } else if (item.defaultValue) {
      notes->push_back("registry.reg: the default value of " + item.key +
                       " cannot be listed alone (an empty value name deletes the whole key)");
    } else if (values.insert(canonical + ";" + UpperAscii(item.value)).second) {
      registry.push_back({{"key", item.key}, {"value", item.value}});
    }
  }
  return registry;
}

bool Scan(const ScanOptions& options, Json* manifest, std::vector<std::string>* notes,
          std::string* error) {
  fs::path stage(options.stage);
  if (!CheckStage(options.stage, error)) return false;  // a stage is data: no links, devices, odd names
  *manifest = Json::object();
  (*manifest)["codePage"] = options.codePage;
  (*manifest)["allUsers"] = options.allUsers;

  try {
    EntryWriter writer(options);
    Json entries = Json::array();
    if (fs::is_directory(stage / "files")) {
      for (const fs::directory_entry& drive : Sorted(stage / "files")) {
        std::string letter = drive.path().filename().string();
        if (!drive.is_directory() || letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0])))
          return *error = "files/" + letter + ": the stage's files must lie in one folder per drive letter (files/C/...)", false;
        letter[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
        Walk(drive.path(), letter + ":", writer, &entries);
      }
    }
    (*manifest)["removalEntries"] = entries;

    // The registry: whole keys only where one product owns them.
    Json registry = Json::array();
    fs::path reg = stage / "registry.reg";
    if (fs::exists(reg)) {
      std::string bytes;
      if (!ReadInput(reg.string(), &bytes, error)) return false;
      std::vector<RegistryItem> items;
      if (!ParseRegistryExport(bytes, options.codePage, &items, error))
        return *error = "registry.reg: " + *error, false;
      registry = RegistryEntries(items, notes);
    }
    (*manifest)["registryList"] = registry;

    fs::path shell = stage / "shell";
    std::string group;
    if (fs::is_directory(shell / "Programs")) {
      std::vector<fs::directory_entry> groups = Sorted(shell / "Programs");
      if (groups.size() != 1 || !groups[0].is_directory())
        return *error = "shell/Programs must hold the program group, one folder (found " +
                        std::to_string(groups.size()) + " entries)", false;
      group = groups[0].path().filename().string();
      if (IsSharedProgramGroup(UpperAscii(group))) {
        notes->push_back("shell/Programs: the group " + group +
                         " is a folder that Windows or every product shares; it is not listed, so its shortcuts stay");
        group.clear();
      }
    }
    (*manifest)["programGroup"] = group;
    const char* const kFolders[][2] = {{"Desktop", "desktopShortcuts"}, {"SendTo", "sendToShortcuts"},
                                       {"StartMenu", "startMenuShortcuts"}, {"Startup", "startupShortcuts"}};
    for (const auto& folder : kFolders) {
      Json names = Json::array();
      if (fs::is_directory(shell / folder[0])) Shortcuts(shell / folder[0], "", folder[1], &names, notes);
      (*manifest)[folder[1]] = names;
    }
  } catch (const fs::filesystem_error& e) {
    return *error = std::string("cannot read the stage: ") + e.what(), false;
  }

  // Placeholders that lint reports until the author writes the texts.
  (*manifest)["messageCaption"] = "TODO: the product's name, the caption of every box";
  (*manifest)["confirmPrompt"] = "TODO: Remove the product and all of its components?";
  (*manifest)["runningPrompt"] = "TODO: The product is still running. Close it, then press OK.";
  (*manifest)["closingMessage"] = "TODO: The product was removed from your computer.";
  (*manifest)["reservedText"] = "";
  (*manifest)["restartPrompt"] = "TODO: Some files could not be removed. Restart Windows now to remove them?";
  return true;
}

}  // namespace uninstdat
