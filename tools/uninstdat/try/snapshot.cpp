// Snapshots of a prefix; see snapshot.h.
#include "tools/uninstdat/try/snapshot.h"

#include <sstream>

#include "tools/uninstdat/names.h"

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
  c = AsciiLower(c);
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

}  // namespace uninstdat
