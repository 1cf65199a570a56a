// registry.reg as capture writes it; see registry_file.h.
#include "tools/uninstdat/capture/registry_file.h"

#include <cstdio>

#include "tools/uninstdat/codepage.h"

namespace uninstdat {
namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The data as one string when it is UTF-16LE text ending in its only NUL,
// without line ends, that converts to UTF-8 and back unchanged.
bool AsString(const std::string& data, std::string* text) {
  if (data.size() < 2 || data.size() % 2 || data.compare(data.size() - 2, 2, std::string(2, '\0')) != 0) return false;
  std::string body = data.substr(0, data.size() - 2);
  for (size_t i = 0; i < body.size(); i += 2)
    if (body[i + 1] == 0 && (body[i] == 0 || body[i] == '\r' || body[i] == '\n')) return false;
  auto utf8 = Utf16LeToUtf8(body);
  if (!utf8 || !IsValidUtf8(*utf8) || Utf8ToUtf16Le(*utf8) != body) return false;
  *text = *utf8;
  return true;
}

std::string Hex(const std::string& prefix, const std::string& data, size_t nameLength) {
  std::string out = prefix;
  size_t column = nameLength + prefix.size();
  char byte[4];
  for (size_t i = 0; i < data.size(); ++i) {
    snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
    out += byte;
    column += 2;
    if (i + 1 < data.size()) {
      out += ',';
      ++column;
      if (column > 75) {
        out += "\\\r\n  ";
        column = 2;
      }
    }
  }
  return out;
}

std::string DataText(const RegistryValue& value, size_t nameLength) {
  std::string text;
  if (value.type == kRegString && AsString(value.data, &text)) return Quoted(text);
  if (value.type == kRegDword && value.data.size() == 4) {
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(value.data[i]);
    char out[16];
    snprintf(out, sizeof out, "dword:%08x", number);
    return out;
  }
  if (value.type == kRegBinary) return Hex("hex:", value.data, nameLength);
  char prefix[24];
  snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
  return Hex(prefix, value.data, nameLength);
}

}  // namespace

const char* RegistryNameProblem(const std::string& name) {
  for (char c : name)
    if (c == '\r' || c == '\n' || c == '\0') return "holds a line end or a NUL, which no line of registry.reg can carry";
  if (!IsValidUtf8(name)) return "is no Unicode text (a lone half of a UTF-16 surrogate pair)";
  return nullptr;
}

std::string RegistryDataText(const RegistryValue& value) { return DataText(value, 0); }

std::string RegistryTypeName(uint32_t type) {
  switch (type) {
    case kRegNone: return "none";
    case kRegString: return "string";
    case kRegExpandString: return "expandable string";
    case kRegBinary: return "binary";
    case kRegDword: return "DWORD";
    case kRegMultiString: return "multi-string";
    case kRegQword: return "QWORD";
    default: break;
  }
  return "type " + std::to_string(type);
}

std::string RegistryFileText(const std::vector<RegistryFileKey>& keys) {
  std::string text = "Windows Registry Editor Version 5.00\r\n";
  for (const RegistryFileKey& key : keys) {
    text += "\r\n[" + key.key + "]\r\n";
    for (const auto& [name, value] : key.values) {
      std::string shown = name.empty() ? "@" : Quoted(name);
      text += shown + "=" + DataText(value, shown.size() + 1) + "\r\n";
    }
  }
  return text;
}

}  // namespace uninstdat
