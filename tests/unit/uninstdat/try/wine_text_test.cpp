// The text of Wine's registry files: each escape one UTF-16 unit, a text
// cut short or an escape without its digits told apart from a whole one,
// and units as UTF-8 with lone surrogates kept.
#include "tools/uninstdat/try/wine_text.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

TEST(WineTextTest, EachEscapeIsOneUnitAndATextCutShortIsTold) {
  const struct {
    const char* name;
    std::string text;  // read from 1 (after the opening quote) up to '"'
    std::vector<uint16_t> units;
    size_t stops;  // where the reading stops
    bool whole;
  } rows[] = {
      {"plain", "\"ab\"=", {'a', 'b'}, 3, true},
      {"quote and backslash", "\"a\\\"\\\\\"", {'a', '"', '\\'}, 6, true},
      {"the C escapes", "\"\\a\\b\\e\\f\\n\\r\\t\\v\"", {7, 8, 27, 12, 10, 13, 9, 11}, 17, true},
      {"\\x with four digits at most", "\"\\x20ac1\"", {0x20AC, '1'}, 8, true},
      {"\\x with fewer digits", "\"\\xE9g\"", {0xE9, 'g'}, 6, true},
      {"octal with three digits at most", "\"\\1018\"", {0101, '8'}, 6, true},
      {"another escaped letter is itself", "\"\\q\"", {'q'}, 3, true},
      {"no closing quote", "\"ab", {'a', 'b'}, 3, false},
      {"\\x without a digit: a NUL", "\"\\xg\"", {0, 'g'}, 4, false},
      {"a backslash that ends the text: itself", "\"a\\", {'a', '\\'}, 3, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    size_t i = 1;
    std::vector<uint16_t> units;
    EXPECT_EQ(UnescapeWineText(row.text, &i, '"', &units), row.whole);
    EXPECT_EQ(units, row.units);
    EXPECT_EQ(i, row.stops);
  }
}

TEST(WineTextTest, UnitsAsUtf8KeepLoneSurrogates) {
  EXPECT_EQ(Utf16UnitsToUtf8({'A', 0xE9, 0x20AC}), "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Utf16UnitsToUtf8({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16UnitsToUtf8({0xD83D, 'x', 0xDE00}), "\xED\xA0\xBD" "x" "\xED\xB8\x80");
  EXPECT_EQ(HexDigitValue('F'), 15);
  EXPECT_EQ(HexDigitValue('a'), 10);
  EXPECT_EQ(HexDigitValue('g'), -1);
}

// Wine's line for a crash, wherever it stands among its other messages,
// and nothing else, not even the same words further in.
TEST(WineTextTest, CrashErrorsAreWinesOwnLines) {
  EXPECT_EQ(CrashErrors(""), "");
  EXPECT_EQ(CrashErrors("fixme:ntdll:x\r\nC:\\>del x\n  wine: Unhandled page fault\nwine: unhandled\n"), "");
  EXPECT_EQ(CrashErrors("err:x\r\nwine: Unhandled page fault on read access to 00000000 at address 0040101A "
                        "(thread 0024), starting debugger...\r\nwine: Unhandled stack overflow"),
            "error: a Windows program crashed: wine: Unhandled page fault on read access to 00000000 at address "
            "0040101A (thread 0024), starting debugger...\n"
            "error: a Windows program crashed: wine: Unhandled stack overflow\n");
}

}  // namespace
}  // namespace uninstdat
