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

Result<std::string> DecodeRegistryExport(const std::string& bytes, int codePage) {
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    auto converted = Utf16LeToUtf8(bytes.substr(2));
    if (!converted) return Failure{Exit::kBadInput, "the UTF-16 text does not convert"};
    return *converted;
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
  if (bytes.compare(0, 36, "Windows Registry Editor Version 5.00") == 0 && IsValidUtf8(bytes))
    return bytes;  // version 5 is Unicode: without a byte-order mark, UTF-8
  auto converted = CodePageConverter(codePage).ToUtf8(bytes);
  if (!converted) return Failure{Exit::kBadInput, "the text is not in code page " + std::to_string(codePage)};
  return *converted;
}

Result<RegistryExport> ParseRegistryExport(const std::string& bytes, int codePage) {
  auto text = DecodeRegistryExport(bytes, codePage);
  if (!text) return text.failure();
  RegistryExport read;
  auto bad = [](const std::string& why) { return Failure{Exit::kBadInput, why}; };
  // Logical lines: a trailing backslash continues a line (long hex values).
  std::vector<std::string> lines;
  std::istringstream in(*text);
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
    return bad("the first line is neither REGEDIT4 nor \"Windows Registry Editor Version 5.00\"");

  std::string key;  // the current section's key; empty after a deletion section
  for (size_t n = 1; n < lines.size(); ++n) {
    const std::string& l = lines[n];
    if (l.empty() || l[0] == ';') continue;
    if (l[0] == '[') {
      size_t close = l.rfind(']');
      if (close == std::string::npos) return bad("line " + std::to_string(n + 1) + ": a key without \"]\"");
      std::string name = l.substr(1, close - 1);
      if (!name.empty() && name[0] == '-') {
        key.clear();  // deleted, not created
        read.deletions.push_back({FullKey(name.substr(1)), "", false});
        continue;
      }
      key = FullKey(name);
      if (key.empty()) return bad("line " + std::to_string(n + 1) + ": no registry root in [" + name + "]");
      read.items.push_back({key, "", false});
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
      read.deletions.push_back({key, value, l[0] == '@'});
      continue;
    }
    read.items.push_back({key, value, l[0] == '@'});
  }
  return read;
}

}  // namespace uninstdat
