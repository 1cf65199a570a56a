// Wine's registry files with types and data; see wine_hive.h.
#include "tools/uninstdat/capture/wine_hive.h"

#include <vector>

#include "tools/uninstdat/try/wine_text.h"

namespace uninstdat {
namespace {

std::string UnitsToBytes(const std::vector<uint16_t>& units) {
  std::string bytes;
  for (uint16_t u : units) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

// "xx,xx,..." from `at` to the end of `text` (spaces and a missing last
// byte allowed, as Wine's own reader allows them).
bool HexBytes(const std::string& text, size_t at, std::string* data) {
  for (size_t i = at; i < text.size();) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) break;
    int high = HexDigitValue(text[i]), low = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
    if (high < 0 || low < 0) return false;
    *data += static_cast<char>(high * 16 + low);
    i += 2;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] != ',') return false;
    ++i;
  }
  return true;
}

// The value's type and data after "=". False when it is not what Wine writes.
bool ParseData(const std::string& text, size_t at, RegistryValue* value) {
  std::string rest = text.substr(at);
  if (!rest.empty() && rest[0] == '"') {
    value->type = kRegString;
  } else if (rest.compare(0, 4, "str(") == 0) {
    size_t close = rest.find("):\"");
    if (close == std::string::npos || close == 4) return false;
    value->type = static_cast<uint32_t>(std::stoul(rest.substr(4, close - 4), nullptr, 16));
    rest = rest.substr(close + 2);
  } else if (rest.compare(0, 6, "dword:") == 0) {
    if (rest.size() != 14) return false;
    uint32_t number = 0;
    for (size_t i = 6; i < 14; ++i) {
      int digit = HexDigitValue(rest[i]);
      if (digit < 0) return false;
      number = number * 16 + static_cast<uint32_t>(digit);
    }
    value->type = kRegDword;
    value->data.clear();
    for (int i = 0; i < 4; ++i) value->data += static_cast<char>((number >> (8 * i)) & 0xFF);
    return true;
  } else if (rest.compare(0, 4, "hex:") == 0) {
    value->type = kRegBinary;
    value->data.clear();
    return HexBytes(rest, 4, &value->data);
  } else if (rest.compare(0, 4, "hex(") == 0) {
    size_t close = rest.find("):");
    if (close == std::string::npos || close == 4 || close > 12) return false;
    for (size_t i = 4; i < close; ++i)
      if (HexDigitValue(rest[i]) < 0) return false;
    value->type = static_cast<uint32_t>(std::stoul(rest.substr(4, close - 4), nullptr, 16));
    value->data.clear();
    return HexBytes(rest, close + 2, &value->data);
  } else {
    return false;
  }
  size_t i = 1;
  std::vector<uint16_t> units;
  if (!UnescapeWineText(rest, &i, '"', &units) || i + 1 != rest.size()) return false;
  units.push_back(0);  // Wine writes a string without its terminating NUL
  value->data = UnitsToBytes(units);
  return true;
}

}  // namespace

bool Utf16LeBytesToUtf8(const std::string& bytes, bool toNul, std::string* text) {
  if (bytes.size() % 2) return false;
  std::vector<uint16_t> units;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    uint16_t u = static_cast<uint16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (toNul && u == 0) break;
    units.push_back(u);
  }
  *text = Utf16UnitsToUtf8(units);
  return true;
}

Result<void> ReadWineHiveValues(const std::string& bytes, const std::string& root, Hive* hive) {
  std::string key;
  size_t number = 0;
  for (size_t at = 0; at < bytes.size();) {
    // One logical line: a trailing backslash continues hex data.
    std::string line;
    size_t first = ++number;
    for (;;) {
      size_t end = bytes.find('\n', at);
      if (end == std::string::npos) end = bytes.size();
      std::string part = bytes.substr(at, end - at);
      at = end + 1;
      if (!part.empty() && part.back() == '\r') part.pop_back();
      if (!line.empty()) part.erase(0, part.find_first_not_of(" \t") == std::string::npos ? part.size() : part.find_first_not_of(" \t"));
      line += part;
      if (line.empty() || line.back() != '\\' || line[0] == '[' || at >= bytes.size()) break;
      line.pop_back();
      ++number;
    }
    if (line.empty() || line[0] == ';') continue;
    auto bad = [&](const char* what) { return Failure{Exit::kBadInput, "line " + std::to_string(first) + ": " + what}; };
    if (line[0] == '[') {
      size_t i = 1;
      std::vector<uint16_t> units;
      if (!UnescapeWineText(line, &i, ']', &units)) return bad("a key without \"]\"");
      key = root + "\\" + Utf16UnitsToUtf8(units);
      (*hive)[key];
      for (size_t end = key.rfind('\\'); end != std::string::npos && end > root.size(); end = key.rfind('\\', end - 1))
        (*hive)[key.substr(0, end)];
      continue;
    }
    if (line[0] == '#') {
      if (line == "#link" && !key.empty()) (*hive)[key].link = true;
      continue;  // #time=, #class=, #arch=: nothing capture compares
    }
    if (key.empty()) {
      if (line.compare(0, 14, "WINE REGISTRY ") == 0) continue;
      return bad("a value before any key");
    }
    std::string name;
    size_t eq;
    if (line[0] == '@') {
      eq = 1;
    } else if (line[0] == '"') {
      size_t i = 1;
      std::vector<uint16_t> units;
      if (!UnescapeWineText(line, &i, '"', &units)) return bad("a value name without its closing quote");
      name = Utf16UnitsToUtf8(units);
      eq = i + 1;
    } else {
      return bad("neither a key, a value nor a comment");
    }
    if (eq >= line.size() || line[eq] != '=') return bad("a value without \"=\"");
    RegistryValue value;
    try {
      if (!ParseData(line, eq + 1, &value)) return bad("a value whose data Wine does not write so");
    } catch (const std::exception&) {
      return bad("a value type that is no number");
    }
    (*hive)[key].values[name] = value;
  }
  return {};
}

}  // namespace uninstdat
