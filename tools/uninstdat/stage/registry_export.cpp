// Registry exports; see registry_export.h.
#include "tools/uninstdat/stage/registry_export.h"

#include <sstream>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/key_shape.h"

namespace uninstdat {
namespace {

// ROOT\\subkey with the root's full name; empty when the root is unknown.
std::string FullKey(const std::string& key) {
  size_t backslash = key.find('\\');
  const char* root = LongRootName(key.substr(0, backslash));
  if (!root) return "";
  return std::string(root) + (backslash == std::string::npos ? "" : key.substr(backslash));
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

}  // namespace uninstdat
