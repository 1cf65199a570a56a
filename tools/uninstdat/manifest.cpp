// The manifest read into a data file's parts; see manifest.h.
#include "tools/uninstdat/manifest.h"

#include <algorithm>
#include <cstdio>

#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/lint_rules.h"
#include "tools/uninstdat/suggestions.h"

namespace uninstdat {
namespace {

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
  std::string root = key.substr(0, key.find('\\'));
  if (const char* longRoot = LongRootName(root, true))
    reader.Error(where, "\"" + root + "\" is a short root name, which the uninstaller does not know: it would ignore the entry; write " +
                            longRoot + key.substr(root.size()));
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

const ManifestVocabulary& Vocabulary() {
  static const ManifestVocabulary vocabulary = [] {
    ManifestVocabulary v;
    v.fields = {"$schema", "codePage", "allUsers"};
    for (const uninst::DataTextLayout& layout : uninst::kDataTexts) {
      v.fields.push_back(layout.name);
      if (layout.terminator) v.trailing.push_back(layout.name);
    }
    v.fields.push_back("trailing");
    v.fields.push_back("lintAllow");
    v.alternates = {"default", "nt", "win98", "win95"};
    v.registryEntry = {"key", "value"};
    v.trailing.push_back("endOfFile");
    return v;
  }();
  return vocabulary;
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
    for (const Json& item : manifest["lintAllow"])
      if (item.is_string()) allow.push_back(item.get<std::string>());
  return allow;
}

int ManifestCodePage(const Json& manifest) {
  if (!manifest.is_object() || !manifest.contains("codePage")) return 0;
  bool ok = false;
  int number = SmallInteger(manifest["codePage"], 0, 65535, &ok);
  return ok && IsWindowsAnsiCodePage(number) ? number : 0;
}

std::string ComposeEntry(const Alternates& a) {
  if (!a.win98.empty() || !a.win95.empty())
    return a.defaultPath + ";" + a.nt + ";" + a.win98 + ";" + a.win95;
  if (!a.nt.empty()) return a.defaultPath + ";" + a.nt + ";";
  return a.defaultPath;
}

namespace {

// The manifest's fields read into a data file's parts in file order, every
// error collected with its field and item.
class ModelReader {
 public:
  ModelReader(const Json& manifest, const TargetCodePage& target, std::vector<std::string>* errors)
      : manifest_(manifest), reader_(target, errors) {}

  // Names that are no field, and the fields that the data file does not carry.
  void CheckFields() {
    const ManifestVocabulary& names = Vocabulary();
    for (const auto& entry : manifest_.items())
      if (std::find(names.fields.begin(), names.fields.end(), entry.key()) == names.fields.end())
        reader_.Error(entry.key(), UnknownName(entry.key(), names.fields, "field of a data file"));
    if (manifest_.contains("$schema") && !manifest_["$schema"].is_string())
      reader_.Error("$schema", "must be the schema's address as a text");
    if (manifest_.contains("codePage")) {
      const Json& value = manifest_["codePage"];
      bool ok = false;
      int number = SmallInteger(value, 0, 65535, &ok);
      if (!value.is_number_integer())
        reader_.Error("codePage", "must be a number such as 1252, not " + value.dump());
      else if (!ok || !IsWindowsAnsiCodePage(number))
        reader_.Error("codePage", value.dump() + " is no Windows ANSI code page; use one of " + kWindowsAnsiCodePages);
    }
    if (manifest_.contains("lintAllow")) CheckLintAllow(manifest_["lintAllow"]);
  }

  void ReadAllUsers(DataFileModel* model) {
    if (!manifest_.contains("allUsers")) return;
    const Json& value = manifest_["allUsers"];
    if (value.is_boolean()) model->allUsers = value.get<bool>() ? 1 : 0;
    else if (value.is_number_unsigned() && value.get<uint64_t>() <= 0xFFFFFFFFu)
      model->allUsers = static_cast<uint32_t>(value.get<uint64_t>());
    else reader_.Error("allUsers", "must be true, false or a number from 0 to 4294967295");
  }

  // One text: a list's items, each followed by its terminator, or a text.
  void ReadText(const uninst::DataTextLayout& layout, DataFileModel* model) {
    std::string& text = (*model)[layout.text];
    if (!layout.terminator) {
      if (manifest_.contains(layout.name)) text = reader_.Text(manifest_[layout.name], layout.name);
      return;
    }
    const Json& items = ArrayOf(manifest_, layout.name, reader_);
    for (size_t i = 0; i < items.size(); ++i) {
      std::string where = Item(layout.name, i);
      if (layout.text == DataText::kRemovalEntries) text += RemovalEntry(items[i], where);
      else if (layout.text == DataText::kRegistryList) text += RegistryEntry(items[i], where);
      else text += reader_.Field(items[i], where, ";", "it ends the shortcut name");
      text += layout.terminator;
    }
  }

  // "trailing": the text after a list's last terminator, and the bytes
  // after the last text.
  void ReadTrailing(DataFileModel* model) {
    if (!manifest_.contains("trailing")) return;
    const Json& trailing = manifest_["trailing"];
    if (!trailing.is_object()) return reader_.Error("trailing", "must be an object of list names and texts");
    for (const auto& part : trailing.items()) {
      std::string where = "trailing." + part.key();
      if (part.key() == "endOfFile") {
        model->endOfFile = reader_.Text(part.value(), where, true);
        continue;
      }
      const uninst::DataTextLayout* list = nullptr;
      for (const uninst::DataTextLayout& layout : uninst::kDataTexts)
        if (layout.terminator && part.key() == layout.name) list = &layout;
      if (!list) {
        reader_.Error(where, UnknownName(part.key(), Vocabulary().trailing, "list of a data file"));
      } else if (list->terminator == '|') {
        (*model)[list->text] += reader_.Field(part.value(), where, "|", "it would end an entry", false);
      } else {
        (*model)[list->text] += reader_.Field(part.value(), where, ";", "it would end a name", false);
      }
    }
  }

 private:
  void CheckLintAllow(const Json& allow) {
    std::vector<std::string> codes = LintCodeNames();
    if (!allow.is_array()) reader_.Error("lintAllow", "must be a list of texts \"CODE\" or \"CODE=TEXT\"");
    for (size_t i = 0; allow.is_array() && i < allow.size(); ++i) {
      std::string code = allow[i].is_string() ? allow[i].get<std::string>() : "";
      code = code.substr(0, code.find('='));
      if (!allow[i].is_string())
        reader_.Error(Item("lintAllow", i), "must be a text \"CODE\" or \"CODE=TEXT\", such as \"shared-system-file=<Fonts>\\\\widget.ttf\"");
      else if (std::find(codes.begin(), codes.end(), code) == codes.end())
        reader_.Error(Item("lintAllow", i), "\"" + code + "\" " + UnknownName(code, codes, "lint code"));
    }
  }

  // A plain text, or an object of alternates.
  std::string RemovalEntry(const Json& entry, const std::string& where) {
    if (!entry.is_object() || entry.contains("hex")) return reader_.Field(entry, where, "|", "it ends the entry");
    Alternates a;
    const char* noSemicolon = "it would split the entry into other alternates";
    for (const auto& part : entry.items()) {
      const std::string& key = part.key();
      std::string at = where + "." + key;
      if (key == "default") a.defaultPath = reader_.Field(part.value(), at, "|;", noSemicolon);
      else if (key == "nt") a.nt = reader_.Field(part.value(), at, "|;", noSemicolon);
      else if (key == "win98") a.win98 = reader_.Field(part.value(), at, "|;", noSemicolon);
      else if (key == "win95") a.win95 = reader_.Field(part.value(), at, "|", "it ends the entry");
      else reader_.Error(at, UnknownName(key, Vocabulary().alternates, "alternate"));
    }
    return ComposeEntry(a);
  }

  // {"key", "value"}, or a raw text.
  std::string RegistryEntry(const Json& entry, const std::string& where) {
    if (!entry.is_object() || entry.contains("hex")) return reader_.Field(entry, where, "|", "it ends the entry");
    std::string key, value;
    for (const auto& part : entry.items()) {
      if (part.key() == "key") {
        key = reader_.Field(part.value(), where + ".key", "|;", "it would end the key path early");
        if (part.value().is_string()) ShortRootName(part.value().get<std::string>(), where + ".key", reader_);
      } else if (part.key() == "value") {
        value = reader_.Field(part.value(), where + ".value", "|", "it ends the entry");
        if (value.empty())
          reader_.Error(where + ".value", "an empty value name would delete the whole key with all its subkeys; leave \"value\" out to delete the key");
      } else {
        reader_.Error(where + "." + part.key(), UnknownName(part.key(), Vocabulary().registryEntry, "part of a registry entry"));
      }
    }
    if (!entry.contains("key")) reader_.Error(where, "has no key");
    return key + ";" + value;
  }

  const Json& manifest_;
  Reader reader_;
};

}  // namespace

Result<DataFileModel> ModelFromManifest(const Json& manifest, const TargetCodePage& target) {
  if (!manifest.is_object()) return Failure{Exit::kBadInput, "the manifest must be a JSON object"};
  std::vector<std::string> errors;
  ModelReader reader(manifest, target, &errors);
  DataFileModel model;
  reader.CheckFields();
  reader.ReadAllUsers(&model);
  for (const uninst::DataTextLayout& layout : uninst::kDataTexts) reader.ReadText(layout, &model);
  reader.ReadTrailing(&model);
  if (!errors.empty()) {
    std::string last = std::move(errors.back());
    errors.pop_back();
    return Failure{Exit::kBadInput, std::move(last), std::move(errors)};
  }
  return model;
}

}  // namespace uninstdat
