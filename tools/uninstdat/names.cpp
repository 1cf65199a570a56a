// Names compared as Windows compares them; see names.h.
#include "tools/uninstdat/names.h"

#include <cstring>
#include <vector>

namespace uninstdat {

void UpperAsciiInPlace(const uninst::CodePage& codePage, std::string* text) {
  for (size_t i = 0; i < text->size(); ++i) {
    char& c = (*text)[i];
    if (codePage.IsLead(static_cast<uint8_t>(c))) ++i;
    else if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
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
