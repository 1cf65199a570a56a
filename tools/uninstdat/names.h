// Names and paths compared as Windows compares them here: ASCII letters
// without regard to case, never a double-byte character's second byte, and
// "." and ".." resolved as Windows resolves them before it removes a folder.
// The tool's one ASCII case folding, case-blind comparison and prefix test:
// A-Z and a-z only, never through the C library's locale-dependent tolower,
// so that the same input gives the same bytes on every host.
#pragma once

#include <string>
#include <string_view>

#include "engine/text.h"

namespace uninstdat {

// One byte: whether it is an ASCII letter, and the letter in the other case;
// every other byte (a UTF-8 or code-page byte above 0x7F included) is left
// as it is.
inline bool IsAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsAsciiLetter(char c) { return IsAsciiUpper(c) || (c >= 'a' && c <= 'z'); }
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
using uninst::AsciiLower;  // the engine's: A-Z lower-cased

// Every byte folded, for texts without a code page's double-byte characters
// (option values, UTF-8, whose multi-byte characters hold no ASCII byte).
std::string LowerAscii(std::string_view text);

// Whether `a` and `b` are the same but for the case of ASCII letters.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);
// Whether `text` ends with `end` but for the case of ASCII letters.
bool EndsWithAsciiNoCase(std::string_view text, std::string_view end);
// Whether `text` begins (ends) with `start` (`end`), byte for byte.
bool StartsWith(std::string_view text, std::string_view start);
bool EndsWith(std::string_view text, std::string_view end);

// The ASCII letters a-z upper-cased, but never the second byte of a
// double-byte character of `codePage`: in code page 932 ナ (83 69) and
// オ (83 49) differ only in a trail byte that looks like i and I.
void UpperAsciiInPlace(const uninst::CodePage& codePage, std::string* text);
std::string UpperAscii(std::string_view text, const uninst::CodePage& codePage = uninst::CodePage());

// The path with "." and ".." components resolved and empty ones dropped:
// "C:\App\." and "C:\App\" name C:\App. Backslashes are found as characters
// of `codePage`.
std::string NormalizePath(const uninst::CodePage& codePage, const std::string& path);

}  // namespace uninstdat
