// Conversions through glibc's iconv; see codepage.h.
#include "tools/uninstdat/codepage.h"

#include <errno.h>
#include <iconv.h>

#include <utility>
#include <vector>

namespace uninstdat {
namespace {

std::optional<std::string> Convert(const char* to, const char* from, const std::string& in,
                                   int* error = nullptr) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::vector<char> out(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  size_t result = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  int saved = errno;
  iconv_close(cd);
  if (result == static_cast<size_t>(-1) || srcLeft != 0) {
    if (error) *error = saved;
    return std::nullopt;
  }
  return std::string(out.data(), out.size() - dstLeft);
}

}  // namespace

CodePageConverter::CodePageConverter(int codePage) : codePage_(codePage) {
  std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return;
  iconv_close(cd);
  valid_ = true;
  // A lead byte alone is an incomplete character: iconv says EINVAL.
  for (int b = 0x80; b < 256; ++b) {
    int error = 0;
    std::string one(1, static_cast<char>(b));
    if (!Convert("UTF-8", name.c_str(), one, &error) && error == EINVAL) lead_[b] = true;
  }
}

std::optional<std::string> CodePageConverter::ToAnsi(const std::string& utf8) const {
  if (valid_ && IsAscii(utf8)) return utf8;
  return Convert(("CP" + std::to_string(codePage_)).c_str(), "UTF-8", utf8);
}

std::optional<std::string> CodePageConverter::ToUtf8(const std::string& ansi) const {
  if (valid_ && IsAscii(ansi)) return ansi;
  return Convert("UTF-8", ("CP" + std::to_string(codePage_)).c_str(), ansi);
}

std::optional<std::string> Utf16LeToUtf8(const std::string& utf16) {
  return Convert("UTF-8", "UTF-16LE", utf16);
}

}  // namespace uninstdat
