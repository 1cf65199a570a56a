// The text of Wine's registry files as Wine writes it: names and strings
// escaped into ASCII, one UTF-16 unit per escape. try reads its snapshots'
// names with it (snapshot.h), capture its values' data too (wine_hive.h),
// so that both read a name the same. And Wine's word that a program
// crashed, which try and capture read the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace uninstdat {

// The value of the hex digit `c` (either case), or -1.
int HexDigitValue(char c);

// Reads a name or a string from `*i` up to the first unescaped `end`,
// leaving `*i` on it (or at the text's end), as UTF-16 units: \\, \", the C
// escapes (\a \b \e \f \n \r \t \v), octal with up to three digits, \x with
// up to four hex digits, each one unit; any other byte one unit of its own.
// True when the text is as Wine writes it: `end` is there and no escape is
// cut short. Otherwise what could be read is read all the same: a backslash
// that ends the text as itself, \x without a digit as a NUL.
bool UnescapeWineText(const std::string& text, size_t* i, char end, std::vector<uint16_t>* units);

// UTF-16 units as UTF-8: each pair of surrogates as its character, a lone
// surrogate as its own code point (as Wine shows it).
std::string Utf16UnitsToUtf8(const std::vector<uint16_t>& units);

// The lines Wine writes to a session's standard error when a program
// crashes ("wine: Unhandled page fault on read access to 00000000 at
// address ... (thread 0024), starting debugger..."), each as
// "error: a Windows program crashed: LINE\n", an error line of the
// session's account: whatever else such a session shows, it proves
// nothing. Empty when no program crashed.
std::string CrashErrors(const std::string& wineMessages);

}  // namespace uninstdat
