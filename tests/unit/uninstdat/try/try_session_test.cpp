// try's checks of its options before any Wine work: the install folder, and
// the locale of each code page.
#include "tools/uninstdat/try/try_session.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

TEST(TrySessionTest, InstallFolderMustBeAFolderBelowC) {
  const struct {
    const char* folder;
    const char* said;  // empty: accepted
  } rows[] = {
      {"C:\\Program Files\\Widget", ""},
      {"c:\\Widget\\", ""},
      {"D:\\Widget", "absolute folder on C:"},
      {"Program Files\\Widget", "absolute folder on C:"},
      {"C:\\", "absolute folder on C:"},
      {"C:\\Program Files\\..\\..\\x", "\"..\""},
      {"C:\\a\\.\\b", "\".\""},
      {"C:\\a\\\\b", "empty"},
      {"C:\\a|b", "holds \"|\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.folder);
    std::string problem = InstallFolderProblem(row.folder);
    if (!*row.said) EXPECT_EQ(problem, "");
    else EXPECT_NE(problem.find(row.said), std::string::npos) << problem;
  }
  EXPECT_EQ(LocaleForCodePage(932), "ja_JP.UTF-8");
  EXPECT_EQ(LocaleForCodePage(1252), "en_US.UTF-8");
  EXPECT_EQ(LocaleForCodePage(65001), "");
}

}  // namespace
}  // namespace uninstdat
