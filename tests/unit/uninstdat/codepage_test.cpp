// The code-page hint: a data file read badly in 1252 and well in a
// double-byte page names that page.
#include "tools/uninstdat/codepage.h"

#include <gtest/gtest.h>

#include "tests/unit/uninstdat/test_files.h"

namespace uninstdat {
namespace {

TEST(CodePageTest, HintsAtTheLikelyDoubleBytePage) {
  struct Row { const char* name; std::string texts; int likely; };
  const Row rows[] = {
      {"code page 932", "\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt|", 932},
      {"Latin text", "Caf\xE9\\R\xE9sum\xE9 de Se\xF1or.txt|", 0},
      {"ASCII only", "widget.exe|", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(LikelierDoubleByteCodePage(File(std::string(4, '\0'), {row.texts}), 1252), row.likely);
  }
}

}  // namespace
}  // namespace uninstdat
