// Manifest to data file and back; see manifest.h.
#include "tools/uninstdat/manifest.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "engine/registry.h"

#include "tools/uninstdat/analysis.h"

namespace uninstdat {
namespace {

const char* const kFieldOrder[] = {
    "$schema", "codePage", "allUsers", "removalEntries", "registryList", "programGroup",
    "desktopShortcuts", "sendToShortcuts", "startMenuShortcuts", "startupShortcuts",
    "messageCaption", "confirmPrompt", "runningPrompt", "closingMessage", "reservedText",
    "restartPrompt", "trailing", "lintAllow"};

// Edit distance, for the name an unknown one probably meant.
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t up = row[j];
      bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                  std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string UnknownName(const std::string& name, const std::vector<std::string>& known,
                        const std::string& what) {
  const std::string* best = nullptr;
  size_t bestDistance = std::max<size_t>(2, name.size() / 3) + 1;
  for (const std::string& candidate : known) {
    if (name.size() > candidate.size() + bestDistance) continue;  // too far, and bounded in time
    size_t d = Distance(name, candidate);
    if (d < bestDistance) best = &candidate, bestDistance = d;
  }
  std::string text = "is no " + what;
  if (best) text += "; did you mean \"" + *best + "\"?";
  else {
    text += " (";
    for (size_t i = 0; i < known.size(); ++i) text += (i ? ", " : "") + known[i];
    text += ")";
  }
  return text;
}

namespace {

std::string Hex(const std::string& bytes) {
  std::string hex;
  char two[3];
  for (unsigned char b : bytes) {
    snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  return hex;
}

std::optional<std::string> FromHex(const std::string& hex) {
  if (hex.size() % 2) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    if (sscanf(hex.substr(i, 2).c_str(), "%2x", &value) != 1) return std::nullopt;
    bytes += static_cast<char>(value);
  }
  return bytes;
}

// Reads manifest texts into code-page bytes, collecting errors.
class Reader {
 public:
  Reader(const TargetCodePage& target, std::vector<std::string>* errors)
      : target_(target), errors_(errors) {}

  std::string Text(const Json& value, const std::string& where, bool nulAllowed = false) {
    std::string bytes;
    if (value.is_string()) {
      std::string utf8 = value.get<std::string>();
      auto converted = target_.converter.ToAnsi(utf8);
      if (!converted) {
        Error(where, "\"" + utf8 + "\" has a character that code page " +
                         std::to_string(target_.converter.number()) + " cannot represent");
        return "";
      }
      bytes = *converted;
    } else if (value.is_object() && value.size() == 1 && value.contains("hex") &&
               value["hex"].is_string()) {
      auto raw = FromHex(value["hex"].get<std::string>());
      if (!raw) {
        Error(where, "\"hex\" must hold pairs of hexadecimal digits");
        return "";
      }
      bytes = *raw;
    } else {
      Error(where, "must be a text, or {\"hex\": \"...\"} for raw bytes");
      return "";
    }
    if (!nulAllowed && bytes.find('\0') != std::string::npos) Error(where, "a NUL cannot stand inside a text");
    return bytes;
  }

  // Text that must not hold any of `forbidden` (searched as characters).
  // Unless it is the trailing text of a list, a terminator follows it in the
  // file, so it must not end in a lone lead byte: the uninstaller would read
  // the terminator as that character's second byte and run on.
  std::string Field(const Json& value, const std::string& where, const char* forbidden,
                    const char* why, bool terminated = true) {
    std::string bytes = Text(value, where);
    for (const char* c = forbidden; *c; ++c)
      if (target_.codePage.Find(bytes.c_str(), bytes.c_str() + bytes.size(), *c)) {
        Error(where, std::string("\"") + *c + "\" cannot stand here: " + why);
        break;
      }
    if (terminated && EndsInLoneLeadByte(bytes)) {
      char hex[8];
      snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(bytes.back()));
      Error(where, std::string("ends in ") + hex + ", the first byte of a double-byte character in code page " +
                       std::to_string(target_.converter.number()) +
                       ", without its second byte: the uninstaller would take the terminator after it as that byte; complete the character or remove the byte");
    }
    return bytes;
  }

  bool EndsInLoneLeadByte(const std::string& bytes) const {
    size_t i = 0;
    while (i < bytes.size()) {
      if (target_.codePage.IsLead(static_cast<uint8_t>(bytes[i]))) {
        if (i + 1 == bytes.size()) return true;
        i += 2;
      } else {
        ++i;
      }
    }
    return false;
  }

  void Error(const std::string& where, const std::string& what) {
    errors_->push_back(where + ": " + what);
  }

 private:
  const TargetCodePage& target_;
  std::vector<std::string>* errors_;
};

std::string Item(const char* field, size_t index) {
  return std::string(field) + "[" + std::to_string(index) + "]";
}

// A short root name (HKLM\\...) in a key: the uninstaller knows only the
// long ones and would ignore the entry. Raw-string entries may hold one:
// show writes those for entries the uninstaller ignores.
void ShortRootName(const std::string& key, const std::string& where, Reader& reader) {
  static const char* const kShort[][2] = {
      {"HKCR", "HKEY_CLASSES_ROOT"}, {"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKCU", "HKEY_CURRENT_USER"},
      {"HKU", "HKEY_USERS"},         {"HKCC", "HKEY_CURRENT_CONFIG"}, {"HKDD", "HKEY_DYN_DATA"}};
  std::string root = UpperAscii(key.substr(0, key.find('\\')));
  for (const auto& names : kShort)
    if (root == names[0])
      reader.Error(where, "\"" + key.substr(0, root.size()) + "\" is a short root name, which the uninstaller does not know: it would ignore the entry; write " +
                              names[1] + key.substr(root.size()));
}

const Json& ArrayOf(const Json& manifest, const char* field, Reader& reader) {
  static const Json kEmpty = Json::array();
  if (!manifest.contains(field)) return kEmpty;
  const Json& value = manifest[field];
  if (!value.is_array()) {
    reader.Error(field, "must be a list");
    return kEmpty;
  }
  return value;
}

}  // namespace

const char kWindowsAnsiCodePages[] = "874, 932, 936, 949, 950 and 1250 to 1258";

bool IsWindowsAnsiCodePage(int number) {
  return number == 874 || number == 932 || number == 936 || number == 949 || number == 950 ||
         (number >= 1250 && number <= 1258);
}

const ManifestVocabulary& Vocabulary() {
  static const ManifestVocabulary vocabulary = [] {
    ManifestVocabulary v;
    v.fields.assign(std::begin(kFieldOrder), std::end(kFieldOrder));
    v.alternates = {"default", "nt", "win98", "win95"};
    v.registryEntry = {"key", "value"};
    v.trailing = {"removalEntries", "registryList"};
    for (const char* name : kShortcutFieldNames) v.trailing.push_back(name);
    v.trailing.push_back("endOfFile");
    return v;
  }();
  return vocabulary;
}

bool LooksLikeManifest(const std::string& raw) {
  size_t at = raw.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  at = raw.find_first_not_of(" \t\r\n", at);
  return at != std::string::npos && raw[at] == '{' && raw.find('\0') == std::string::npos;
}

int SmallInteger(const Json& value, int least, int most, bool* ok) {
  *ok = false;
  if (value.is_number_unsigned()) {
    if (value.get<uint64_t>() > static_cast<uint64_t>(most)) return 0;
  } else if (value.is_number_integer()) {
    int64_t number = value.get<int64_t>();
    if (number < least || number > most) return 0;
  } else {
    return 0;
  }
  int number = static_cast<int>(value.get<int64_t>());
  *ok = number >= least && number <= most;
  return number;
}

std::vector<std::string> LintAllowOf(const Json& manifest) {
  std::vector<std::string> allow;
  if (manifest.is_object() && manifest.contains("lintAllow") && manifest["lintAllow"].is_array())
    for (const Json& spec : manifest["lintAllow"])
      if (spec.is_string()) allow.push_back(spec.get<std::string>());
  return allow;
}

int ManifestCodePage(const Json& manifest) {
  if (!manifest.is_object() || !manifest.contains("codePage")) return 0;
  bool ok = false;
  int number = SmallInteger(manifest["codePage"], 0, 65535, &ok);
  return ok && IsWindowsAnsiCodePage(number) ? number : 0;
}

namespace {

// Where the first value nested deeper than `most` begins, as "line L,
// column C", or empty. A scan of the text that skips strings, before the
// parse: the parser keeps deep values, and printing one recurses as deep.
std::string TooDeep(const std::string& text, int most) {
  int depth = 0;
  bool inString = false;
  size_t line = 1, column = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    ++column;
    if (c == '\n') ++line, column = 0;
    if (inString) {
      if (c == '\\') ++i, ++column;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > most) return "line " + std::to_string(line) + ", column " + std::to_string(column);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return "";
}

}  // namespace

bool ParseManifestText(const std::string& raw, Json* manifest, std::string* error) {
  std::string text = raw.compare(0, 3, "\xEF\xBB\xBF") == 0 ? raw.substr(3) : raw;
  std::string deep = TooDeep(text, kMaxNesting);
  if (!deep.empty()) {
    *error = deep + ": values are nested more than " + std::to_string(kMaxNesting) +
             " deep; a manifest nests at most 4 (the manifest, a list, an entry of alternates, {\"hex\": ...})";
    return false;
  }
  // Keys per open object, to find one given twice: JSON leaves that open
  // and the parser would silently keep one of them.
  std::vector<std::set<std::string>> open;
  std::string duplicate;
  auto callback = [&](int, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::object_start) open.emplace_back();
    else if (event == Json::parse_event_t::object_end && !open.empty()) open.pop_back();
    else if (event == Json::parse_event_t::key && !open.empty() && duplicate.empty() &&
             !open.back().insert(parsed.get<std::string>()).second)
      duplicate = parsed.get<std::string>();
    return true;
  };
  try {
    *manifest = Json::parse(text, callback);
  } catch (const Json::parse_error& e) {
    std::string what = e.what();
    size_t at = what.find("] ");
    *error = "not valid JSON: " + (at == std::string::npos ? what : what.substr(at + 2));
    return false;
  } catch (const Json::exception& e) {
    // A number beyond what a double holds, such as 1e400.
    std::string what = e.what();
    size_t at = what.find("] ");
    *error = "a value is out of range: " + (at == std::string::npos ? what : what.substr(at + 2)) +
             "; write a number that its field takes";
    return false;
  }
  if (!duplicate.empty()) {
    // The second occurrence of the key, for its line and column.
    std::string quoted = "\"" + duplicate + "\"";
    size_t first = text.find(quoted), second = text.find(quoted, first + 1);
    size_t line = 1, column = 1;
    for (size_t i = 0; i < second && second != std::string::npos; ++i) {
      if (text[i] == '\n') ++line, column = 1;
      else ++column;
    }
    *error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": the key \"" +
             duplicate + "\" is given twice in one object; give it once";
    return false;
  }
  return true;
}

TargetCodePage::TargetCodePage(int number) : converter(number) {
  for (int b = 0; b < 256; ++b) codePage.SetLead(static_cast<uint8_t>(b), converter.IsLeadByte(b));
}

std::string ComposeEntry(const Alternates& a) {
  if (!a.win98.empty() || !a.win95.empty())
    return a.defaultPath + ";" + a.nt + ";" + a.win98 + ";" + a.win95;
  if (!a.nt.empty()) return a.defaultPath + ";" + a.nt + ";";
  return a.defaultPath;
}

std::optional<DataFileModel> ModelFromManifest(const Json& manifest, const TargetCodePage& target,
                                               std::vector<std::string>* errors) {
  Reader reader(target, errors);
  DataFileModel model;
  if (!manifest.is_object()) {
    errors->push_back("the manifest must be a JSON object");
    return std::nullopt;
  }
  const ManifestVocabulary& names = Vocabulary();
  for (const auto& entry : manifest.items())
    if (std::find(names.fields.begin(), names.fields.end(), entry.key()) == names.fields.end())
      reader.Error(entry.key(), UnknownName(entry.key(), names.fields, "field of a data file"));
  if (manifest.contains("$schema") && !manifest["$schema"].is_string())
    reader.Error("$schema", "must be the schema's address as a text");
  if (manifest.contains("codePage")) {
    const Json& value = manifest["codePage"];
    bool ok = false;
    int number = SmallInteger(value, 0, 65535, &ok);
    if (!value.is_number_integer())
      reader.Error("codePage", "must be a number such as 1252, not " + value.dump());
    else if (!ok || !IsWindowsAnsiCodePage(number))
      reader.Error("codePage", value.dump() + " is no Windows ANSI code page; use one of " +
                                   kWindowsAnsiCodePages);
  }
  if (manifest.contains("lintAllow")) {
    const Json& allow = manifest["lintAllow"];
    std::vector<std::string> codes;
    for (const LintCode& code : LintCodes()) codes.push_back(code.code);
    if (!allow.is_array()) reader.Error("lintAllow", "must be a list of texts \"CODE\" or \"CODE=TEXT\"");
    for (size_t i = 0; allow.is_array() && i < allow.size(); ++i) {
      std::string code = allow[i].is_string() ? allow[i].get<std::string>() : "";
      code = code.substr(0, code.find('='));
      if (!allow[i].is_string())
        reader.Error(Item("lintAllow", i), "must be a text \"CODE\" or \"CODE=TEXT\", such as \"shared-system-file=<Fonts>\\\\widget.ttf\"");
      else if (std::find(codes.begin(), codes.end(), code) == codes.end())
        reader.Error(Item("lintAllow", i), "\"" + code + "\" " + UnknownName(code, codes, "lint code"));
    }
  }

  if (manifest.contains("allUsers")) {
    const Json& value = manifest["allUsers"];
    if (value.is_boolean()) model.allUsers = value.get<bool>() ? 1 : 0;
    else if (value.is_number_unsigned() && value.get<uint64_t>() <= 0xFFFFFFFFu)
      model.allUsers = static_cast<uint32_t>(value.get<uint64_t>());
    else reader.Error("allUsers", "must be true, false or a number from 0 to 4294967295");
  }

  const Json& entries = ArrayOf(manifest, "removalEntries", reader);
  model.removalEntries.items.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string where = Item("removalEntries", i);
    const Json& entry = entries[i];
    if (entry.is_object() && !entry.contains("hex")) {
      Alternates a;
      const char* noSemicolon = "it would split the entry into other alternates";
      for (const auto& part : entry.items()) {
        const std::string& key = part.key();
        std::string at = where + "." + key;
        if (key == "default") a.defaultPath = reader.Field(part.value(), at, "|;", noSemicolon);
        else if (key == "nt") a.nt = reader.Field(part.value(), at, "|;", noSemicolon);
        else if (key == "win98") a.win98 = reader.Field(part.value(), at, "|;", noSemicolon);
        else if (key == "win95") a.win95 = reader.Field(part.value(), at, "|", "it ends the entry");
        else reader.Error(at, UnknownName(key, names.alternates, "alternate"));
      }
      model.removalEntries.items.push_back(ComposeEntry(a));
    } else {
      model.removalEntries.items.push_back(reader.Field(entry, where, "|", "it ends the entry"));
    }
  }

  const Json& registry = ArrayOf(manifest, "registryList", reader);
  model.registryList.items.reserve(registry.size());
  for (size_t i = 0; i < registry.size(); ++i) {
    std::string where = Item("registryList", i);
    const Json& entry = registry[i];
    if (entry.is_object() && !entry.contains("hex")) {
      std::string key, value;
      for (const auto& part : entry.items()) {
        if (part.key() == "key") {
          key = reader.Field(part.value(), where + ".key", "|;", "it would end the key path early");
          if (part.value().is_string()) ShortRootName(part.value().get<std::string>(), where + ".key", reader);
        }
        else if (part.key() == "value") {
          value = reader.Field(part.value(), where + ".value", "|", "it ends the entry");
          if (value.empty())
            reader.Error(where + ".value", "an empty value name would delete the whole key with all its subkeys; leave \"value\" out to delete the key");
        } else reader.Error(where + "." + part.key(), UnknownName(part.key(), names.registryEntry, "part of a registry entry"));
      }
      if (!entry.contains("key")) reader.Error(where, "has no key");
      model.registryList.items.push_back(key + ";" + value);
    } else {
      model.registryList.items.push_back(reader.Field(entry, where, "|", "it ends the entry"));
    }
  }

  if (manifest.contains("programGroup"))
    model.programGroup = reader.Text(manifest["programGroup"], "programGroup");
  for (int list = 0; list < kShortcutLists; ++list) {
    const char* field = kShortcutFieldNames[list];
    const Json& names = ArrayOf(manifest, field, reader);
    for (size_t i = 0; i < names.size(); ++i)
      model.shortcuts[list].items.push_back(
          reader.Field(names[i], Item(field, i), ";", "it ends the shortcut name"));
  }
  for (int m = 0; m < kMessages; ++m)
    if (manifest.contains(kMessageFieldNames[m]))
      model.messages[m] = reader.Text(manifest[kMessageFieldNames[m]], kMessageFieldNames[m]);

  if (manifest.contains("trailing") && !manifest["trailing"].is_object())
    reader.Error("trailing", "must be an object of list names and texts");
  if (manifest.contains("trailing") && manifest["trailing"].is_object()) {
    const Json& trailing = manifest["trailing"];
    for (const auto& part : trailing.items()) {
      std::string where = "trailing." + part.key();
      if (part.key() == "removalEntries")
        model.removalEntries.trailing = reader.Field(part.value(), where, "|", "it would end an entry", false);
      else if (part.key() == "registryList")
        model.registryList.trailing = reader.Field(part.value(), where, "|", "it would end an entry", false);
      else if (part.key() == "endOfFile")
        model.endOfFile = reader.Text(part.value(), where, true);
      else {
        bool found = false;
        for (int list = 0; list < kShortcutLists; ++list)
          if (part.key() == kShortcutFieldNames[list]) {
            model.shortcuts[list].trailing =
                reader.Field(part.value(), where, ";", "it would end a name", false);
            found = true;
          }
        if (!found) reader.Error(where, UnknownName(part.key(), names.trailing, "list of a data file"));
      }
    }
  }
  if (!errors->empty()) return std::nullopt;
  return model;
}

namespace {

// The manifest's parts for the texts of a data file, each as build reads it
// back into the same bytes.
class Shown {
 public:
  explicit Shown(const TargetCodePage& target) : target_(target) {}

  // UTF-8 where the bytes convert there and back, else {"hex": ...}.
  Json Text(std::string_view bytes) const {
    std::string raw(bytes);
    if (raw.find('\0') == std::string::npos) {
      auto utf8 = target_.converter.ToUtf8(raw);
      if (utf8 && target_.converter.ToAnsi(*utf8) == raw) return *utf8;
    }
    return Json{{"hex", Hex(raw)}};
  }

  // Alternates as an object where they compose back into the same text.
  Json RemovalEntry(std::string_view entry) const {
    Json shown = Text(entry);
    std::vector<size_t> at = Semicolons(entry);
    if (at.empty() || !shown.is_string()) return shown;
    Alternates a;
    a.defaultPath = entry.substr(0, at[0]);
    if (at.size() >= 2) a.nt = entry.substr(at[0] + 1, at[1] - at[0] - 1);
    if (at.size() >= 3) {
      a.win98 = entry.substr(at[1] + 1, at[2] - at[1] - 1);
      a.win95 = entry.substr(at[2] + 1);
    }
    if (ComposeEntry(a) != entry) return shown;
    Json object;
    object["default"] = Text(a.defaultPath);
    if (!a.nt.empty()) object["nt"] = Text(a.nt);
    if (!a.win98.empty()) object["win98"] = Text(a.win98);
    if (!a.win95.empty()) object["win95"] = Text(a.win95);
    return object;
  }

  // {"key", "value"} for an entry whose key begins with a root name that
  // the uninstaller knows, else the raw text: build refuses other keys in
  // the object form (HKLM\...), and must take back what show writes.
  Json RegistryEntry(std::string_view entry) const {
    std::vector<size_t> at = Semicolons(entry);
    if (at.empty()) return Text(entry);
    std::string key(entry.substr(0, at[0]));
    const char* backslash = target_.codePage.Find(key.c_str(), '\\');
    if (!backslash || !uninst::LookupRootName(std::string(key.c_str(), backslash).c_str())) return Text(entry);
    Json object;
    object["key"] = Text(key);
    if (at[0] + 1 < entry.size()) object["value"] = Text(entry.substr(at[0] + 1));
    return object;
  }

 private:
  std::vector<size_t> Semicolons(std::string_view s) const {
    std::vector<size_t> at;
    const char* begin = s.data();
    const char* end = begin + s.size();
    for (const char* p = begin; (p = target_.codePage.Find(p, end, ';')); ++p) at.push_back(p - begin);
    return at;
  }
  const TargetCodePage& target_;
};

// `value` as dump(2) writes it `depth` levels down.
std::string Indented(const Json& value, int depth) {
  std::string text = value.dump(2), indented;
  for (char c : text) {
    indented += c;
    if (c == '\n') indented.append(2 * depth, ' ');
  }
  return indented;
}

}  // namespace

bool WriteShownManifest(const std::string& bytes, const TargetCodePage& target,
                        const std::function<bool(std::string_view)>& give) {
  Shown shown(target);
  bool going = true;  // until `give` says stop; the rest is then skipped cheaply
  auto write = [&](const std::string& part) {
    if (going) going = give(part);
  };
  const uninst::CodePage& cp = target.codePage;
  DataFileTexts texts = SplitTexts(bytes);
  bool first = true;
  auto member = [&](const char* name) {
    write(first ? "{\n  " : ",\n  ");
    first = false;
    write(Json(name).dump() + ": ");
  };
  // A list item by item, so that memory does not grow with it.
  auto list = [&](const char* name, std::string_view text, char terminator, bool removal) {
    member(name);
    write("[");
    bool any = false;
    std::string_view rest = ForEachItem(cp, text, terminator, [&](std::string_view item, size_t) {
      if (!going) return;
      Json value = removal ? shown.RemovalEntry(item) : terminator == '|' ? shown.RegistryEntry(item) : shown.Text(item);
      write((any ? ",\n    " : "\n    ") + Indented(value, 2));
      any = true;
    });
    write(any ? "\n  ]" : "]");
    return rest;
  };

  member("codePage");
  write(std::to_string(target.converter.number()));
  member("allUsers");
  write(texts.allUsers <= 1 ? (texts.allUsers ? "true" : "false") : std::to_string(texts.allUsers));
  Json trailing = Json::object();
  std::string_view rest = list("removalEntries", texts.text[0], '|', true);
  if (!rest.empty()) trailing["removalEntries"] = shown.Text(rest);
  rest = list("registryList", texts.text[1], '|', false);
  if (!rest.empty()) trailing["registryList"] = shown.Text(rest);
  member("programGroup");
  write(Indented(shown.Text(texts.text[2]), 1));
  for (int i = 0; i < kShortcutLists; ++i) {
    rest = list(kShortcutFieldNames[i], texts.text[3 + i], ';', false);
    if (!rest.empty()) trailing[kShortcutFieldNames[i]] = shown.Text(rest);
  }
  for (int i = 0; i < kMessages; ++i) {
    member(kMessageFieldNames[i]);
    write(Indented(shown.Text(texts.text[7 + i]), 1));
  }
  // The bytes after the last text; a text without its NUL counts as empty
  // for the uninstaller, and so do the texts after it.
  if (texts.found == 13 && !texts.rest.empty()) trailing["endOfFile"] = Json{{"hex", Hex(std::string(texts.rest))}};
  if (!trailing.empty()) {
    member("trailing");
    write(Indented(trailing, 1));
  }
  write("\n}\n");
  return going;
}

Json ManifestFromModel(const DataFileModel& model, const TargetCodePage& target) {
  std::string text;
  WriteShownManifest(Encode(model), target, [&](std::string_view part) {
    text.append(part);
    return true;
  });
  return Json::parse(text);
}

}  // namespace uninstdat
