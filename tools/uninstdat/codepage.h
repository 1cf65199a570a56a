// Conversion between UTF-8 and a Windows ANSI code page, through iconv.
#pragma once

#include <optional>
#include <string>

namespace uninstdat {

class CodePageConverter {
 public:
  // Fails (valid() false) when iconv knows no "CP<number>".
  explicit CodePageConverter(int codePage);
  bool valid() const { return valid_; }
  int number() const { return codePage_; }

  // UTF-8 to the code page; nullopt when a character has no code there.
  std::optional<std::string> ToAnsi(const std::string& utf8) const;
  // The code page to UTF-8; nullopt when the bytes are not text there.
  std::optional<std::string> ToUtf8(const std::string& ansi) const;
  // Whether the byte begins a double-byte character.
  bool IsLeadByte(unsigned char byte) const { return lead_[byte]; }

 private:
  int codePage_;
  bool valid_ = false;
  bool lead_[256] = {};
};

}  // namespace uninstdat
