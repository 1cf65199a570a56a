// The text of Wine's registry files; see wine_text.h.
#include "tools/uninstdat/try/wine_text.h"

#include <algorithm>

#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

void AppendCodePoint(std::string* out, unsigned point) {
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

}  // namespace

int HexDigitValue(char c) {
  c = AsciiLower(c);
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool UnescapeWineText(const std::string& text, size_t* i, char end, std::vector<uint16_t>* units) {
  bool whole = true;
  for (; *i < text.size() && text[*i] != end; ++*i) {
    char c = text[*i];
    if (c != '\\' || *i + 1 >= text.size()) {
      whole = whole && c != '\\';
      units->push_back(static_cast<unsigned char>(c));  // Wine writes ASCII only
      continue;
    }
    char next = text[++*i];
    switch (next) {
      case 'a': units->push_back(7); break;
      case 'b': units->push_back(8); break;
      case 'e': units->push_back(27); break;
      case 'f': units->push_back(12); break;
      case 'n': units->push_back(10); break;
      case 'r': units->push_back(13); break;
      case 't': units->push_back(9); break;
      case 'v': units->push_back(11); break;
      case 'x': {
        unsigned point = 0;
        int digits = 0;
        for (; digits < 4 && *i + 1 < text.size() && HexDigitValue(text[*i + 1]) >= 0; ++digits)
          point = point * 16 + static_cast<unsigned>(HexDigitValue(text[++*i]));
        whole = whole && digits > 0;
        units->push_back(static_cast<uint16_t>(point));
        break;
      }
      default:
        if (next >= '0' && next <= '7') {
          unsigned point = static_cast<unsigned>(next - '0');
          for (int digits = 1; digits < 3 && *i + 1 < text.size() && text[*i + 1] >= '0' && text[*i + 1] <= '7'; ++digits)
            point = point * 8 + static_cast<unsigned>(text[++*i] - '0');
          units->push_back(static_cast<uint16_t>(point));
        } else {
          units->push_back(static_cast<unsigned char>(next));
        }
    }
  }
  return whole && *i < text.size();
}

std::string Utf16UnitsToUtf8(const std::vector<uint16_t>& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    unsigned u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      AppendCodePoint(&out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
      ++i;
    } else {
      AppendCodePoint(&out, u);
    }
  }
  return out;
}

std::string CrashErrors(const std::string& wineMessages) {
  std::string errors;
  for (size_t at = 0; at < wineMessages.size();) {
    size_t end = std::min(wineMessages.find('\n', at), wineMessages.size());
    std::string line = wineMessages.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (StartsWith(line, "wine: Unhandled")) errors += "error: a Windows program crashed: " + line + "\n";
  }
  return errors;
}

}  // namespace uninstdat
