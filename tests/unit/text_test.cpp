// Separator search in double-byte code pages and ASCII-only case folding.
#include <gtest/gtest.h>

#include "engine/text.h"
#include "tests/unit/fake_platform.h"

namespace uninst {
namespace {

TEST(CodePageTest, TrailByteNeverMatchesSeparator) {
  FakePlatform platform;
  platform.leadBytes = {0x81, 0x95};
  CodePage codePage(platform);
  struct Row { const char* name; std::string text; char c; int expected; };
  const Row rows[] = {
      {"plain", "ab|c", '|', 2},
      {"trail byte equal to backslash", "\x95\\x\\", '\\', 3},
      {"trail byte equal to bar", "\x81|a|", '|', 3},
      {"lead byte right before the end", "ab\x81", '|', -1},
      {"no match", "abc", ';', -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const char* text = row.text.c_str();
    const char* found = codePage.Find(text, row.c);
    EXPECT_EQ(found ? found - text : -1, row.expected);
    const char* ranged = codePage.Find(text, text + row.text.size(), row.c);
    EXPECT_EQ(ranged ? ranged - text : -1, row.expected);
  }
}

TEST(TextTest, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(EqualsAsciiNoCase("<wintemp>", "<WinTemp>"));
  EXPECT_FALSE(EqualsAsciiNoCase("<Win> ", "<Win>"));
  EXPECT_FALSE(EqualsAsciiNoCase("\xC4", "\xE4"));  // Latin-1 letters are not folded
  EXPECT_TRUE(EqualsAsciiNoCase("AZ", "az"));
  EXPECT_FALSE(EqualsAsciiNoCase("@", "`") || EqualsAsciiNoCase("[", "{"));  // beside A and Z
  EXPECT_TRUE(EqualsAsciiNoCase("HKEY_USERSx", 10, "hkey_users"));
  EXPECT_FALSE(EqualsAsciiNoCase("HKEY_USER", 9, "hkey_users"));
}

}  // namespace
}  // namespace uninst
