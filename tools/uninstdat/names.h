// Names and paths compared as Windows compares them here: ASCII letters
// without regard to case, never a double-byte character's second byte, and
// "." and ".." resolved as Windows resolves them before it removes a folder.
#pragma once

#include <string>
#include <string_view>

#include "engine/text.h"

namespace uninstdat {

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
