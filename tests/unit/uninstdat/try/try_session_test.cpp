// try's checks of its options before any Wine work: the install folder, and
// the locale of each code page, and which uninstaller runs.
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

TEST(TrySessionTest, UninstallerIsGivenElseBesideTheToolElseTheWineSides) {
  const std::string beside = "/opt/uninst/uninst.exe", wineSide = "/opt/uninst/wine/uninst-x64-TEST-ONLY-never-ship.exe";
  const struct {
    const char* name;
    std::string given, beside, bits;
    std::string path;
    bool noted;
  } rows[] = {
      {"--uninstaller wins under 32-bit Wine", "/x/u.exe", beside, "32", "/x/u.exe", false},
      {"--uninstaller wins under 64-bit Wine too", "/x/u.exe", beside, "64", "/x/u.exe", false},
      {"the one beside the tool under 32-bit Wine", "", beside, "32", beside, false},
      {"64-bit Wine only: the 64-bit test build, said", "", beside, "64", wineSide, true},
      {"none beside the tool: the Wine side's", "", "", "32", wineSide, false},
      {"none beside the tool, 64-bit: the Wine side's, nothing to say", "", "", "64", wineSide, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    UninstallerChoice choice = ChooseUninstaller(row.given, row.beside, {{"bits", row.bits}, {"uninstaller", wineSide}});
    EXPECT_EQ(choice.path, row.path);
    EXPECT_EQ(!choice.note.empty(), row.noted) << choice.note;
  }
}

}  // namespace
}  // namespace uninstdat
