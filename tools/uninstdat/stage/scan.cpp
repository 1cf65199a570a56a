// From a staged installation to a manifest; see scan.h.
#include "tools/uninstdat/stage/scan.h"

#include <algorithm>
#include <set>

#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/reference.h"
#include "tools/uninstdat/shell_folders.h"
#include "tools/uninstdat/stage/stage.h"
#include "tools/uninstdat/system/files.h"
#include "tools/uninstdat/system/io.h"

namespace uninstdat {
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

// A stage that CheckStage passed cannot be read after all (it changed
// under the scan).
struct Unreadable {
  std::string why;
};

// The entries of a folder, sorted by the bytes of their names, so that the
// output is stable.
std::vector<FolderEntry> Sorted(const std::string& folder) {
  auto entries = ListFolder(folder);
  if (!entries) throw Unreadable{folder + ": " + entries.failure().message};
  std::sort(entries->begin(), entries->end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return *entries;
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
void Walk(const std::string& folder, const std::string& windows, const EntryWriter& writer,
          Json* entries) {
  std::vector<FolderEntry> children = Sorted(folder);
  for (const FolderEntry& child : children)
    if (child.kind != FileKind::kFolder) entries->push_back(writer.Entry(windows + "\\" + child.name));
  for (const FolderEntry& child : children)
    if (child.kind == FileKind::kFolder) {
      std::string path = windows + "\\" + child.name;
      Walk(folder + "/" + child.name, path, writer, entries);
      if (writer.Listed(path)) entries->push_back(writer.Entry(path));
    }
}

// Shortcut names below a shell folder: relative paths without ".lnk".
void Shortcuts(const std::string& folder, const std::string& prefix, const char* field, Json* names,
               std::vector<std::string>* notes) {
  for (const FolderEntry& child : Sorted(folder)) {
    const std::string& name = child.name;
    if (child.kind == FileKind::kFolder) {
      notes->push_back(std::string(field) + ": the folder " + prefix + name +
                       " is not removed, only the shortcuts in it");
      Shortcuts(folder + "/" + name, prefix + name + "\\", field, names, notes);
    } else if (name.size() > 4 && UpperAscii(name.substr(name.size() - 4)) == ".LNK") {
      names->push_back(prefix + name.substr(0, name.size() - 4));
    } else {
      notes->push_back(std::string(field) + ": " + prefix + name + " is no shortcut (.lnk) and is not listed");
    }
  }
}

}  // namespace

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
      } else if (verdict.kind == KeyVerdict::kVendor && noted.insert(canonical).second) {
        notes->push_back("registry.reg: " + item.key +
                         " is a vendor's key, below which every product of that vendor keeps its keys: its own values "
                         "are listed one by one and each key below it on its own, never the vendor's key whole");
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

namespace {

// The box texts as scan writes them: placeholders that lint reports
// (placeholder-text) until the author writes the texts.
const char* Placeholder(DataText text) {
  switch (text) {
    case DataText::kMessageCaption: return "TODO: the product's name, the caption of every box";
    case DataText::kConfirmPrompt: return "TODO: Remove the product and all of its components?";
    case DataText::kRunningPrompt: return "TODO: The product is still running. Close it, then press OK.";
    case DataText::kClosingMessage: return "TODO: The product was removed from your computer.";
    case DataText::kRestartPrompt: return "TODO: Some files could not be removed. Restart Windows now to remove them?";
    default: return "";
  }
}

// The manifest's fields from what the stage holds.
class StageScanner {
 public:
  StageScanner(const ScanOptions& options, std::vector<std::string>* notes)
      : options_(options), stage_(options.stage), writer_(options), notes_(notes) {}

  // The value of one field of the manifest; false with `error`.
  bool Field(DataText text, Json* value, std::string* error) {
    switch (text) {
      case DataText::kRemovalEntries: return Files(value, error);
      case DataText::kRegistryList: return Registry(value, error);
      case DataText::kProgramGroup: return Group(value, error);
      default: break;
    }
    if (IsShortcutList(text)) {
      *value = Json::array();
      std::string folder = stage_ + "/shell/" + ShellFolderByList(text)->stageName;
      if (KindAt(folder) == FileKind::kFolder) Shortcuts(folder, "", uninst::Layout(text).name, value, notes_);
    } else {
      *value = Placeholder(text);
    }
    return true;
  }

 private:
  // Every staged file and folder, each folder after everything in it.
  bool Files(Json* entries, std::string* error) {
    *entries = Json::array();
    if (KindAt(stage_ + "/files") != FileKind::kFolder) return true;
    for (const FolderEntry& drive : Sorted(stage_ + "/files")) {
      std::string letter = drive.name;
      if (drive.kind != FileKind::kFolder || letter.size() != 1 || !IsAsciiLetter(letter[0]))
        return *error = "files/" + letter + ": the stage's files must lie in one folder per drive letter (files/C/...)", false;
      letter[0] = AsciiUpper(letter[0]);
      Walk(stage_ + "/files/" + drive.name, letter + ":", writer_, entries);
    }
    return true;
  }

  // Whole keys only where one product owns them.
  bool Registry(Json* registry, std::string* error) {
    *registry = Json::array();
    std::string reg = stage_ + "/registry.reg";
    if (KindAt(reg) == FileKind::kNone) return true;
    auto bytes = ReadInput(reg);
    if (!bytes) return *error = bytes.failure().message, false;
    auto exported = ParseRegistryExport(*bytes, options_.codePage);
    if (!exported) return *error = "registry.reg: " + exported.failure().message, false;
    *registry = RegistryEntries(exported->items, notes_);
    return true;
  }

  bool Group(Json* value, std::string* error) {
    std::string group;
    std::string programs = stage_ + "/shell/Programs";
    if (KindAt(programs) == FileKind::kFolder) {
      std::vector<FolderEntry> groups = Sorted(programs);
      if (groups.size() != 1 || groups[0].kind != FileKind::kFolder)
        return *error = "shell/Programs must hold the program group, one folder (found " +
                        std::to_string(groups.size()) + " entries)", false;
      group = groups[0].name;
      // The group is the folder that holds the product's shortcuts: a
      // vendor's folder above it that holds nothing but that folder is
      // shared with the vendor's other products, which keep theirs there.
      std::string vendor;
      for (std::string folder = programs + "/" + group;;) {
        std::vector<FolderEntry> inside = Sorted(folder);
        if (inside.size() != 1 || inside[0].kind != FileKind::kFolder) break;
        if (vendor.empty()) vendor = group;
        folder += "/" + inside[0].name;
        group += "\\" + inside[0].name;
      }
      if (!vendor.empty())
        notes_->push_back("shell/Programs: " + vendor + " holds nothing but the folder of the product's shortcuts, so "
                          "the group is " + group + ": a vendor's folder above it keeps the other products' shortcuts");
      if (IsSharedProgramGroup(UpperAscii(group))) {
        notes_->push_back("shell/Programs: the group " + group +
                          " is a folder that Windows or every product shares; it is not listed, so its shortcuts stay");
        group.clear();
      }
    }
    *value = group;
    return true;
  }

  const ScanOptions& options_;
  std::string stage_;
  EntryWriter writer_;
  std::vector<std::string>* notes_;
};

// Scan, false with the reason in `error`.
bool ScanInto(const ScanOptions& options, Json* manifest, std::vector<std::string>* notes, std::string* error) {
  // A stage is data: no links, devices, odd names.
  if (auto checked = CheckStage(options.stage); !checked) return *error = checked.failure().message, false;
  *manifest = Json::object();
  (*manifest)["codePage"] = options.codePage;
  (*manifest)["allUsers"] = options.allUsers;
  try {
    StageScanner scanner(options, notes);
    for (const uninst::DataTextLayout& layout : uninst::kDataTexts) {
      Json value;
      if (!scanner.Field(layout.text, &value, error)) return false;
      (*manifest)[layout.name] = value;
    }
  } catch (const Unreadable& e) {
    return *error = "cannot read the stage: " + e.why, false;
  }
  return true;
}

}  // namespace

Result<Json> Scan(const ScanOptions& options, std::vector<std::string>* notes) {
  Json manifest;
  std::string error;
  if (!ScanInto(options, &manifest, notes, &error)) return Failure{Exit::kBadInput, error};
  return manifest;
}

}  // namespace uninstdat
