// Conversion between UTF-8 and a Windows ANSI code page (iconv on Linux, the
// system's converter on Windows).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/text.h"

namespace uninstdat {

class CodePageConverter {
 public:
  // Fails (valid() false) when the system's converter knows no such code page.
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

// Both views of the target code page: the converter, and the engine's
// lead-byte table for separator searches.
struct TargetCodePage {
  explicit TargetCodePage(int number);
  CodePageConverter converter;
  uninst::CodePage codePage;
};

// The bytes as UTF-8, or a note that they are no text in the code page.
std::string Utf8(const TargetCodePage& page, std::string_view bytes);

// The Windows ANSI code pages a data file can be written in, and their list
// as people read it.
bool IsWindowsAnsiCodePage(int number);
extern const char kWindowsAnsiCodePages[];
// The code page of an input that names none, and of a manifest written
// without --codepage: the Western European one, which most data files use.
constexpr int kDefaultCodePage = 1252;

// Whether every byte of `text` is ASCII, which every Windows ANSI code page
// holds as it is: the converters pass such texts on without converting.
inline bool IsAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// UTF-16LE text (as version 5 registry exports are written) as UTF-8.
std::optional<std::string> Utf16LeToUtf8(const std::string& utf16);
// UTF-8 text as UTF-16LE (the encoding Wine's regedit reads for Unicode);
// the text must be valid UTF-8.
std::string Utf8ToUtf16Le(const std::string& utf8);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing beyond U+10FFFF).
bool IsValidUtf8(const std::string& bytes);
// The bytes as valid UTF-8: well-formed sequences kept, every other byte as
// the text "<xNN>" (Windows allows no "<" in a file name, so the mark cannot
// be taken for one), so that a name that is no UTF-8 still shows all of
// itself.
std::string Utf8Escaped(const std::string& bytes);

// A data file does not record its code page. When the texts of `bytes` (a
// data file) read badly in the single-byte code page `assumed` and well in
// one of the double-byte pages 932, 936, 949 and 950, the likeliest of those;
// else 0. "Well" means every text converts and its non-ASCII characters are
// kana, ideographs or hangul; "badly" means a text does not convert, or its
// non-ASCII characters are mostly no letters of the page's script, or Latin
// letters huddled together as double-byte text shows in a Latin page.
int LikelierDoubleByteCodePage(const std::string& bytes, int assumed);

}  // namespace uninstdat
