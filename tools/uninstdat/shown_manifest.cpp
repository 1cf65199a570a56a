// The way back from a data file to a manifest; see shown_manifest.h.
#include "tools/uninstdat/shown_manifest.h"

#include <cstdio>
#include <vector>

#include "engine/registry.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/input_limit.h"

namespace uninstdat {
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


// Writes the manifest's members in order, a list item by item.
class ShownWriter {
 public:
  ShownWriter(const TargetCodePage& target, const std::function<bool(std::string_view)>& give)
      : shown_(target), target_(target), give_(give) {}

  bool Write(const std::string& bytes) {
    DataFileTexts texts = SplitTexts(bytes);
    Member("codePage");
    Put(std::to_string(target_.converter.number()));
    Member("allUsers");
    Put(texts.allUsers <= 1 ? (texts.allUsers ? "true" : "false") : std::to_string(texts.allUsers));
    Json trailing = Json::object();
    for (const uninst::DataTextLayout& layout : uninst::kDataTexts) {
      if (!layout.terminator) {
        Member(layout.name);
        Put(Indented(shown_.Text(texts[layout.text]), 1));
      } else if (std::string_view rest = List(layout, texts[layout.text]); !rest.empty()) {
        trailing[layout.name] = shown_.Text(rest);
      }
    }
    // The bytes after the last text; a text without its NUL counts as empty
    // for the uninstaller, and so do the texts after it.
    if (texts.found == uninst::kDataTextCount && !texts.rest.empty())
      trailing["endOfFile"] = Json{{"hex", Hex(std::string(texts.rest))}};
    if (!trailing.empty()) {
      Member("trailing");
      Put(Indented(trailing, 1));
    }
    Put("\n}\n");
    return going_;
  }

 private:
  // Until `give` says stop; the rest is then skipped cheaply.
  void Put(const std::string& part) {
    if (going_) going_ = give_(part);
  }

  void Member(const char* name) {
    Put(first_ ? "{\n  " : ",\n  ");
    first_ = false;
    Put(Json(name).dump() + ": ");
  }

  // A list item by item, so that memory does not grow with it; returns the
  // text after its last terminator.
  std::string_view List(const uninst::DataTextLayout& layout, std::string_view text) {
    Member(layout.name);
    Put("[");
    bool any = false;
    std::string_view rest = ForEachItem(target_.codePage, text, layout.terminator, [&](std::string_view item, size_t) {
      if (!going_) return;
      Json value = layout.text == DataText::kRemovalEntries ? shown_.RemovalEntry(item)
                   : layout.text == DataText::kRegistryList ? shown_.RegistryEntry(item)
                                                            : shown_.Text(item);
      Put((any ? ",\n    " : "\n    ") + Indented(value, 2));
      any = true;
    });
    Put(any ? "\n  ]" : "]");
    return rest;
  }

  Shown shown_;
  const TargetCodePage& target_;
  const std::function<bool(std::string_view)>& give_;
  bool going_ = true;
  bool first_ = true;
};

}  // namespace

bool WriteShownManifest(const std::string& bytes, const TargetCodePage& target,
                        const std::function<bool(std::string_view)>& give) {
  return ShownWriter(target, give).Write(bytes);
}

bool ShownManifestFits(const std::string& bytes, const TargetCodePage& target) {
  size_t size = 0;
  return WriteShownManifest(bytes, target, [&](std::string_view part) { return (size += part.size()) <= kMaxInputBytes; });
}

}  // namespace uninstdat
