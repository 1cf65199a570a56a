// Snapshots and the report of `try`; see try_report.h.
#include "tools/uninstdat/try_report.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "engine/registry.h"
#include "tools/uninstdat/analysis.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/model.h"

namespace uninstdat {
namespace {

void AppendUtf8(std::string* out, unsigned point) {
  if (point < 0x80) {
    *out += static_cast<char>(point);
  } else if (point < 0x800) {
    *out += static_cast<char>(0xC0 | (point >> 6));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    *out += static_cast<char>(0xE0 | (point >> 12));
    *out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (point >> 18));
    *out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

int HexDigit(char c) {
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A name as Wine writes it into a registry file, from `i` up to the first
// unescaped `end` character; `i` is left on that character (or at the end).
// Wine writes UTF-16 units: \x with up to four hex digits (four when a hex
// digit follows), a pair of them for a character beyond U+FFFF.
std::string Unescape(const std::string& text, size_t* i, char end) {
  std::string out;
  unsigned pendingHigh = 0;
  auto unit = [&](unsigned u) {
    if (pendingHigh && u >= 0xDC00 && u <= 0xDFFF) {
      AppendUtf8(&out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (u - 0xDC00));
      pendingHigh = 0;
      return;
    }
    if (pendingHigh) AppendUtf8(&out, pendingHigh);  // a lone surrogate stays visible
    pendingHigh = 0;
    if (u >= 0xD800 && u <= 0xDBFF) pendingHigh = u;
    else AppendUtf8(&out, u);
  };
  for (; *i < text.size() && text[*i] != end; ++*i) {
    char c = text[*i];
    if (c != '\\' || *i + 1 >= text.size()) {
      unit(static_cast<unsigned char>(c));  // ASCII in Wine's files
      continue;
    }
    char next = text[++*i];
    switch (next) {
      case 'a': unit(7); break;
      case 'b': unit(8); break;
      case 'e': unit(27); break;
      case 'f': unit(12); break;
      case 'n': unit(10); break;
      case 'r': unit(13); break;
      case 't': unit(9); break;
      case 'v': unit(11); break;
      case 'x': {
        unsigned point = 0;
        for (int digits = 0; digits < 4 && *i + 1 < text.size() && HexDigit(text[*i + 1]) >= 0; ++digits)
          point = point * 16 + static_cast<unsigned>(HexDigit(text[++*i]));
        unit(point);
        break;
      }
      default:
        if (next >= '0' && next <= '7') {
          unsigned point = static_cast<unsigned>(next - '0');
          for (int digits = 1; digits < 3 && *i + 1 < text.size() && text[*i + 1] >= '0' && text[*i + 1] <= '7'; ++digits)
            point = point * 8 + static_cast<unsigned>(text[++*i] - '0');
          unit(point);
        } else {
          unit(static_cast<unsigned char>(next));
        }
    }
  }
  if (pendingHigh) AppendUtf8(&out, pendingHigh);
  return out;
}

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

const char* Kind(const FileRecord& record) {
  return record.type == 'd' ? "folder" : record.type == 'l' ? "link" : "file";
}

}  // namespace

bool RegistryName::operator<(const RegistryName& other) const {
  if (key != other.key) return key < other.key;
  if (isValue != other.isValue) return isValue < other.isValue;
  return value < other.value;
}

bool ReadFileSnapshot(const std::string& bytes, FileSnapshot* snapshot) {
  std::string fields[4];
  size_t at = 0;
  while (at < bytes.size()) {
    for (std::string& field : fields) {
      size_t nul = bytes.find('\0', at);
      if (nul == std::string::npos) return false;
      field.assign(bytes, at, nul - at);
      at = nul + 1;
    }
    if (fields[1].size() != 1) return false;
    (*snapshot)[{fields[0], fields[2]}] = {fields[1][0], fields[3]};
  }
  return true;
}

void ReadWineHive(const std::string& bytes, const std::string& root, RegistrySnapshot* snapshot) {
  std::istringstream in(bytes);
  std::string line, key;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    size_t i = 1;
    if (line[0] == '[') {
      std::string name = Unescape(line, &i, ']');
      if (i >= line.size()) continue;  // no closing bracket: no key line
      key = root + "\\" + name;
      // Wine writes a key only when it has values or no subkeys: the keys
      // above it exist all the same.
      for (size_t end = key.size(); end > root.size(); end = key.rfind('\\', end - 1))
        if (!snapshot->insert({key.substr(0, end), "", false}).second) break;
    } else if (!key.empty() && line[0] == '"') {
      std::string name = Unescape(line, &i, '"');
      if (i < line.size()) snapshot->insert({key, name, true});
    } else if (!key.empty() && line[0] == '@' && line.size() > 1 && line[1] == '=') {
      snapshot->insert({key, "@", true});  // "@" is no value name Wine writes in quotes
    }
  }
}

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

FamilyReport CompareRun(const TryRun& run) {
  FamilyReport report;
  auto add = [&](Json record) {
    record["family"] = run.family;
    report.records.push_back(std::move(record));
  };
  const FileSnapshot& links = run.before.files;

  // The run as the runner told it.
  std::vector<std::string> deferred;
  bool finished = false;
  for (const std::string& line : Lines(run.runOutput, run.page)) {
    if (StartsWith(line, "box: ")) {
      add({{"record", "box"}, {"box", line.substr(5)}});
      std::string answer = line.substr(line.rfind("| ") + 2);
      if (answer == "Yes" || answer == "No" || answer == "release:Yes" || answer == "release:No")
        report.restartAsked = true;
    } else if (StartsWith(line, "deferred: ")) {
      deferred.push_back(line.substr(10));
    } else if (StartsWith(line, "acp: ")) {
      report.codePageSeen = std::atoi(line.c_str() + 5);
    } else if (StartsWith(line, "exit: ")) {
      finished = true;
    } else if (StartsWith(line, "error: ")) {
      add({{"record", "error"}, {"what", "the run: " + line.substr(7)}});
      ++report.errors;
    }
  }
  if (!finished && !report.errors) {
    add({{"record", "error"}, {"what", "the run: the runner did not report the uninstaller's end"}});
    ++report.errors;
  }
  for (const auto& [name, output] : {std::pair<const char*, const std::string*>{"the import", &run.importOutput},
                                     {"the control run", &run.controlOutput}})
    for (const std::string& line : Lines(*output, run.page))
      if (StartsWith(line, "error: ")) {
        add({{"record", "error"}, {"what", std::string(name) + ": " + line.substr(7)}});
        ++report.errors;
      }

  // Files: what the stage put there and is left; the uninstaller's own.
  std::set<Location> own = {run.installFolder.location, run.uninstaller.location, run.dataFile.location};
  std::set<Location> staged;
  for (const Placed& item : run.staged) {
    if (item.existed) continue;  // a folder of the machine the stage only passes through
    staged.insert(item.location);
    if (own.count(item.location) || !run.after.files.count(item.location)) continue;
    add({{"record", "left"}, {"kind", Kind(run.after.files.at(item.location))},
         {"path", ShowLocation(item.location, links)}});
    ++report.left;
  }
  for (const Placed* item : {&run.uninstaller, &run.dataFile, &run.installFolder}) {
    if (item->existed || !run.after.files.count(item->location)) continue;
    add({{"record", "uninstaller-left"}, {"kind", item->folder ? "folder" : "file"},
         {"path", ShowLocation(item->location, links)}});
    ++report.uninstallerLeft;
  }

  // The registry: what the export created and is left, and keys left empty.
  std::vector<std::string> wholeKeys, values;
  for (const RegistryItem& item : run.exported)
    for (const std::string& form : HiveForms(item.key)) {
      if (item.value.empty() && !item.defaultValue) {
        if (!Shared(item.key)) wholeKeys.push_back(form);
        continue;
      }
      values.push_back(form + "\n" + (item.defaultValue ? "@" : UpperAscii(item.value)));
    }
  auto isStaged = [&](const RegistryName& name) {
    if (run.pristine.count(name)) return false;
    std::string key = UpperAscii(name.key);
    if (name.isValue && std::count(values.begin(), values.end(), key + "\n" + UpperAscii(name.value))) return true;
    for (const std::string& whole : wholeKeys)
      if (Within(key, whole)) return true;
    return false;
  };
  auto registryRecord = [](const char* record, const RegistryName& name) {
    Json r = {{"record", record}, {"kind", name.isValue ? "value" : "key"}, {"path", Utf8Escaped(name.key)}};
    if (name.isValue) r["value"] = Utf8Escaped(name.value);
    return r;
  };
  std::set<std::string> leftKeys;
  for (const RegistryName& name : run.before.registry) {
    if (!isStaged(name) || !run.after.registry.count(name)) continue;
    add(registryRecord("left", name));
    ++report.left;
    if (!name.isValue) leftKeys.insert(name.key);
  }
  for (auto it = run.after.registry.begin(); it != run.after.registry.end(); ++it) {
    const RegistryName& name = *it;
    if (name.isValue || leftKeys.count(name.key) || run.pristine.count(name) || !run.before.registry.count(name) ||
        Shared(name.key))
      continue;
    auto next = std::next(it);  // sorted: the key's own values follow it
    bool values = next != run.after.registry.end() && next->key == name.key;
    auto sub = run.after.registry.lower_bound({name.key + "\\", "", false});
    bool subkeys = sub != run.after.registry.end() && sub->key.compare(0, name.key.size() + 1, name.key + "\\") == 0;
    if (values || subkeys) continue;
    add(registryRecord("left-empty", name));
    ++report.leftEmpty;
  }

  // Removal entries that matched nothing staged: an application may make
  // such files at run time, so this is no fault, only a hint.
  std::set<std::string> stagedPaths;
  for (const Placed& item : run.staged) stagedPaths.insert(UpperAscii(item.windowsPath));
  for (const Placed* item : {&run.uninstaller, &run.dataFile, &run.installFolder})
    stagedPaths.insert(UpperAscii(item->windowsPath));
  for (const auto& [entry, path] : run.listed) {
    if (stagedPaths.count(UpperAscii(path))) continue;
    add({{"record", "unmatched"}, {"entry", entry}, {"path", Utf8Escaped(path)}});
    ++report.unmatched;
  }

  Json restart = {{"record", "restart"}, {"asked", report.restartAsked}, {"deferred", Json::array()}};
  for (const std::string& path : deferred) restart["deferred"].push_back(path);
  bool restarted = false;
  for (const Json& r : report.records)
    if (r["record"] == "box" && r["box"].get<std::string>().size() >= 3 &&
        r["box"].get<std::string>().compare(r["box"].get<std::string>().size() - 3, 3, "Yes") == 0)
      restarted = true;
  if (restarted && run.family != "nt")
    restart["note"] = "Wine's restart deletes the files that WININIT.INI names but not its folders; Windows 95 "
                      "and 98 remove those folders too";
  add(restart);

  // The safety report: what went though nobody staged it, unless the
  // control run changed the same item in the same way.
  for (const auto& [location, record] : run.before.files) {
    auto after = run.after.files.find(location);
    if (after != run.after.files.end() && after->second == record) continue;
    if (staged.count(location) || own.count(location)) continue;
    auto control = run.control.files.find(location);
    bool sameInControl = after == run.after.files.end() ? control == run.control.files.end()
                                                        : control != run.control.files.end() && control->second == after->second;
    if (sameInControl) continue;
    Json r = {{"record", "removed-unstaged"}, {"kind", Kind(record)}, {"path", ShowLocation(location, links)}};
    if (after != run.after.files.end()) r["now"] = Kind(after->second);  // replaced by something else
    add(r);
    ++report.removedUnstaged;
  }
  for (const RegistryName& name : run.before.registry) {
    if (run.after.registry.count(name) || isStaged(name) || !run.control.registry.count(name)) continue;
    add(registryRecord("removed-unstaged", name));
    ++report.removedUnstaged;
  }

  report.exit = report.left || report.uninstallerLeft || report.leftEmpty || report.removedUnstaged ||
                        report.restartAsked || report.errors
                    ? 1
                    : 0;
  add({{"record", "summary"},
       {"left", report.left},
       {"uninstallerLeft", report.uninstallerLeft},
       {"leftEmpty", report.leftEmpty},
       {"unmatched", report.unmatched},
       {"restartAsked", report.restartAsked},
       {"removedUnstaged", report.removedUnstaged},
       {"errors", report.errors},
       {"exit", report.exit}});
  return report;
}

namespace {

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') out += "?";  // XML 1.0 cannot carry it
        else out += static_cast<char>(c);
    }
  }
  return out;
}

// A finding as one line for people.
std::string FindingText(const Json& r) {
  const std::string record = r["record"];
  std::string path = r.value("path", "");
  if (r.contains("value")) path += " value \"" + r["value"].get<std::string>() + "\"";
  if (record == "left") return "staged and still there: " + r["kind"].get<std::string>() + " " + path;
  if (record == "uninstaller-left") return "the uninstaller's own " + r["kind"].get<std::string>() + " is still there: " + path;
  if (record == "left-empty") return "key left empty: " + path;
  if (record == "removed-unstaged") return "removed though nobody staged it: " + r["kind"].get<std::string>() + " " + path;
  if (record == "error") return "the run did not end well: " + r["what"].get<std::string>();
  if (record == "restart") return "the restart question was asked";
  return "";
}

}  // namespace

std::string JUnitXml(const std::vector<FamilyReport>& reports) {
  size_t failures = 0;
  std::ostringstream cases;
  for (const FamilyReport& report : reports) {
    std::string family = report.records.empty() ? "" : report.records[0]["family"].get<std::string>();
    cases << "  <testcase classname=\"uninstdat.try\" name=\"" << XmlEscaped(family) << "\">\n";
    for (const Json& r : report.records) {
      if (r["record"] == "restart" && !r["asked"].get<bool>()) continue;
      std::string text = FindingText(r);
      if (text.empty()) continue;
      ++failures;
      cases << "    <failure type=\"" << XmlEscaped(r["record"].get<std::string>()) << "\" message=\""
            << XmlEscaped(text) << "\"/>\n";
    }
    cases << "  </testcase>\n";
  }
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n <testsuite name=\"uninstdat try\" tests=\""
      << reports.size() << "\" failures=\"" << failures << "\">\n"
      << cases.str() << " </testsuite>\n</testsuites>\n";
  return out.str();
}

}  // namespace uninstdat
