// Manifest to data file and back; see manifest.h.
#include "tools/uninstdat/manifest.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

namespace uninstdat {
namespace {

const char* const kFieldOrder[] = {
    "$schema", "codePage", "allUsers", "removalEntries", "registryList", "programGroup",
    "desktopShortcuts", "sendToShortcuts", "startMenuShortcuts", "startupShortcuts",
    "messageCaption", "confirmPrompt", "runningPrompt", "closingMessage", "reservedText",
    "restartPrompt", "trailing"};

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

// "is no field of a data file", with the likeliest name when one is close.
std::string Unknown(const std::string& name, const std::vector<std::string>& known,
                    const std::string& what) {
  const std::string* best = nullptr;
  size_t bestDistance = std::max<size_t>(2, name.size() / 3) + 1;
  for (const std::string& candidate : known) {
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

bool ParseManifestText(const std::string& raw, Json* manifest, std::string* error) {
  std::string text = raw.compare(0, 3, "\xEF\xBB\xBF") == 0 ? raw.substr(3) : raw;
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
      reader.Error(entry.key(), Unknown(entry.key(), names.fields, "field of a data file"));
  if (manifest.contains("$schema") && !manifest["$schema"].is_string())
    reader.Error("$schema", "must be the schema's address as a text");
  if (manifest.contains("codePage")) {
    const Json& value = manifest["codePage"];
    if (!value.is_number_integer())
      reader.Error("codePage", "must be a number such as 1252, not " + value.dump());
    else if (!IsWindowsAnsiCodePage(value.get<int>()))
      reader.Error("codePage", value.dump() + " is no Windows ANSI code page; use one of " +
                                   kWindowsAnsiCodePages);
  }

  if (manifest.contains("allUsers")) {
    const Json& value = manifest["allUsers"];
    if (value.is_boolean()) model.allUsers = value.get<bool>() ? 1 : 0;
    else if (value.is_number_unsigned() && value.get<uint64_t>() <= 0xFFFFFFFFu)
      model.allUsers = static_cast<uint32_t>(value.get<uint64_t>());
    else reader.Error("allUsers", "must be true, false or a number from 0 to 4294967295");
  }

  const Json& entries = ArrayOf(manifest, "removalEntries", reader);
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
        else reader.Error(at, Unknown(key, names.alternates, "alternate"));
      }
      model.removalEntries.items.push_back(ComposeEntry(a));
    } else {
      model.removalEntries.items.push_back(reader.Field(entry, where, "|", "it ends the entry"));
    }
  }

  const Json& registry = ArrayOf(manifest, "registryList", reader);
  for (size_t i = 0; i < registry.size(); ++i) {
    std::string where = Item("registryList", i);
    const Json& entry = registry[i];
    if (entry.is_object() && !entry.contains("hex")) {
      std::string key, value;
      for (const auto& part : entry.items()) {
        if (part.key() == "key")
          key = reader.Field(part.value(), where + ".key", "|;", "it would end the key path early");
        else if (part.key() == "value") {
          value = reader.Field(part.value(), where + ".value", "|", "it ends the entry");
          if (value.empty())
            reader.Error(where + ".value", "an empty value name would delete the whole key with all its subkeys; leave \"value\" out to delete the key");
        } else reader.Error(where + "." + part.key(), Unknown(part.key(), names.registryEntry, "part of a registry entry"));
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
        if (!found) reader.Error(where, Unknown(part.key(), names.trailing, "list of a data file"));
      }
    }
  }
  if (!errors->empty()) return std::nullopt;
  return model;
}

Json ManifestFromModel(const DataFileModel& model, const TargetCodePage& target) {
  auto text = [&](const std::string& bytes) -> Json {
    auto utf8 = target.converter.ToUtf8(bytes);
    if (utf8 && bytes.find('\0') == std::string::npos && target.converter.ToAnsi(*utf8) == bytes)
      return *utf8;
    return Json{{"hex", Hex(bytes)}};
  };
  const uninst::CodePage& cp = target.codePage;
  auto semicolons = [&](const std::string& s) {
    std::vector<size_t> at;
    const char* begin = s.c_str();
    const char* end = begin + s.size();
    for (const char* p = begin; (p = cp.Find(p, end, ';')); ++p) at.push_back(p - begin);
    return at;
  };

  Json manifest;
  manifest["codePage"] = target.converter.number();
  if (model.allUsers <= 1) manifest["allUsers"] = model.allUsers == 1;
  else manifest["allUsers"] = model.allUsers;

  Json entries = Json::array();
  for (const std::string& entry : model.removalEntries.items) {
    std::vector<size_t> at = semicolons(entry);
    Json shown = text(entry);
    if (!at.empty() && shown.is_string()) {
      Alternates a;
      a.defaultPath = entry.substr(0, at[0]);
      if (at.size() >= 2) a.nt = entry.substr(at[0] + 1, at[1] - at[0] - 1);
      if (at.size() >= 3) {
        a.win98 = entry.substr(at[1] + 1, at[2] - at[1] - 1);
        a.win95 = entry.substr(at[2] + 1);
      }
      if (ComposeEntry(a) == entry) {
        Json object;
        object["default"] = text(a.defaultPath);
        if (!a.nt.empty()) object["nt"] = text(a.nt);
        if (!a.win98.empty()) object["win98"] = text(a.win98);
        if (!a.win95.empty()) object["win95"] = text(a.win95);
        shown = object;
      }
    }
    entries.push_back(shown);
  }
  manifest["removalEntries"] = entries;

  Json registry = Json::array();
  for (const std::string& entry : model.registryList.items) {
    std::vector<size_t> at = semicolons(entry);
    if (at.empty()) {
      registry.push_back(text(entry));
      continue;
    }
    Json object;
    object["key"] = text(entry.substr(0, at[0]));
    if (at[0] + 1 < entry.size()) object["value"] = text(entry.substr(at[0] + 1));
    registry.push_back(object);
  }
  manifest["registryList"] = registry;
  manifest["programGroup"] = text(model.programGroup);
  for (int list = 0; list < kShortcutLists; ++list) {
    Json names = Json::array();
    for (const std::string& name : model.shortcuts[list].items) names.push_back(text(name));
    manifest[kShortcutFieldNames[list]] = names;
  }
  for (int m = 0; m < kMessages; ++m) manifest[kMessageFieldNames[m]] = text(model.messages[m]);

  Json trailing = Json::object();
  if (!model.removalEntries.trailing.empty())
    trailing["removalEntries"] = text(model.removalEntries.trailing);
  if (!model.registryList.trailing.empty())
    trailing["registryList"] = text(model.registryList.trailing);
  for (int list = 0; list < kShortcutLists; ++list)
    if (!model.shortcuts[list].trailing.empty())
      trailing[kShortcutFieldNames[list]] = text(model.shortcuts[list].trailing);
  if (!model.endOfFile.empty()) trailing["endOfFile"] = Json{{"hex", Hex(model.endOfFile)}};
  if (!trailing.empty()) manifest["trailing"] = trailing;
  return manifest;
}

}  // namespace uninstdat
