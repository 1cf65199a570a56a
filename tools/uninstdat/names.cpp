// Names compared as Windows compares them; see names.h.
#include "tools/uninstdat/names.h"

#include <cstring>
#include <vector>

namespace uninstdat {

void UpperAsciiInPlace(const uninst::CodePage& codePage, std::string* text) {
  for (size_t i = 0; i < text->size(); ++i) {
    char& c = (*text)[i];
    if (codePage.IsLead(static_cast<uint8_t>(c))) ++i;
    else c = AsciiUpper(c);
  }
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool EndsWithAsciiNoCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && EqualsAsciiNoCase(text.substr(text.size() - end.size()), end);
}

bool StartsWith(std::string_view text, std::string_view start) {
  return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string UpperAscii(std::string_view text, const uninst::CodePage& codePage) {
  std::string upper(text);
  UpperAsciiInPlace(codePage, &upper);
  return upper;
}

std::string NormalizePath(const uninst::CodePage& codePage, const std::string& path) {
  std::vector<std::string> parts;
  const char* at = path.c_str();
  while (true) {
    const char* slash = codePage.Find(at, '\\');
    std::string part(at, slash ? slash : at + strlen(at));
    if (part == ".." && parts.size() > 1) parts.pop_back();
    else if (part != "." && !(part.empty() && !parts.empty())) parts.push_back(part);
    if (!slash) break;
    at = slash + 1;
  }
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : "\\") + part;
  return joined;
}

}  // namespace uninstdat
