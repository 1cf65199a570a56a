// Conversions through the system's own converter on Windows
// (MultiByteToWideChar and WideCharToMultiByte); see codepage.h. They are
// made as strict as iconv's on Linux, so that both builds of uninstdat read
// and write the same bytes: no best-fit characters, no default character,
// and a C1 control that a single-byte page only passes through unchanged
// (0x81 in code page 1252) counts as no character of that page.
#include "tools/uninstdat/codepage.h"

#include <windows.h>

#include <vector>

namespace uninstdat {
namespace {

std::optional<std::wstring> Wide(UINT codePage, const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                              nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
  return wide;
}

std::optional<std::string> Narrow(UINT codePage, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  BOOL usedDefault = FALSE;
  bool utf8 = codePage == CP_UTF8;
  DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                              utf8 ? nullptr : &usedDefault);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), &bytes[0], n, nullptr,
                      utf8 ? nullptr : &usedDefault);
  if (usedDefault) return std::nullopt;
  return bytes;
}

bool HasC1(const std::wstring& wide) {
  for (wchar_t c : wide)
    if (c >= 0x80 && c <= 0x9F) return true;
  return false;
}

bool SingleByte(const bool* lead) {
  for (int b = 0; b < 256; ++b)
    if (lead[b]) return false;
  return true;
}

}  // namespace

CodePageConverter::CodePageConverter(int codePage) : codePage_(codePage) {
  if (codePage <= 0 || !IsValidCodePage(static_cast<UINT>(codePage))) return;
  valid_ = true;
  for (int b = 0x80; b < 256; ++b) lead_[b] = IsDBCSLeadByteEx(static_cast<UINT>(codePage), static_cast<BYTE>(b)) != 0;
}

std::optional<std::string> CodePageConverter::ToAnsi(const std::string& utf8) const {
  if (valid_ && IsAscii(utf8)) return utf8;
  auto wide = Wide(CP_UTF8, utf8);
  if (!wide || (SingleByte(lead_) && HasC1(*wide))) return std::nullopt;
  auto bytes = Narrow(static_cast<UINT>(codePage_), *wide);
  // A character that reads back as another is none of the page's.
  if (!bytes || Wide(static_cast<UINT>(codePage_), *bytes) != wide) return std::nullopt;
  return bytes;
}

std::optional<std::string> CodePageConverter::ToUtf8(const std::string& ansi) const {
  if (valid_ && IsAscii(ansi)) return ansi;
  auto wide = Wide(static_cast<UINT>(codePage_), ansi);
  if (!wide || (SingleByte(lead_) && HasC1(*wide))) return std::nullopt;
  return Narrow(CP_UTF8, *wide);
}

std::optional<std::string> Utf16LeToUtf8(const std::string& utf16) {
  if (utf16.size() % 2) return std::nullopt;
  std::wstring wide(utf16.size() / 2, L'\0');
  for (size_t i = 0; i < wide.size(); ++i)
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(utf16[2 * i]) |
                                   (static_cast<unsigned char>(utf16[2 * i + 1]) << 8));
  return Narrow(CP_UTF8, wide);
}

}  // namespace uninstdat
