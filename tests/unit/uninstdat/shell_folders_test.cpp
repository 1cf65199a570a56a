#include "tools/uninstdat/shell_folders.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "tools/uninstdat/machine.h"

namespace uninstdat {
namespace {

using uninst::DataText;

// Each kind is found by its stage name, its list and both folder ids, and
// names the right member: scan reads shell/NAME for a list, diff resolves a
// list through the member, try picks all users' folder by the id.
TEST(ShellFoldersTest, EachKindIsFoundByEveryKey) {
  struct Row {
    const char* stage;
    DataText list;
    int own, common;
    const char* ownName;
    const char* commonName;
  } rows[] = {
      {"Programs", DataText::kProgramGroup, uninst::kCsidlPrograms, uninst::kCsidlCommonPrograms, "programs",
       "commonPrograms"},
      {"Desktop", DataText::kDesktopShortcuts, uninst::kCsidlDesktopDirectory, uninst::kCsidlCommonDesktopDirectory,
       "desktop", "commonDesktop"},
      {"SendTo", DataText::kSendToShortcuts, uninst::kCsidlSendTo, -1, "sendTo", nullptr},
      {"StartMenu", DataText::kStartMenuShortcuts, uninst::kCsidlStartMenu, uninst::kCsidlCommonStartMenu,
       "startMenu", "commonStartMenu"},
      {"Startup", DataText::kStartupShortcuts, uninst::kCsidlStartup, uninst::kCsidlCommonStartup, "startup",
       "commonStartup"},
  };
  ASSERT_EQ(std::size(rows), static_cast<size_t>(kShellFolderKindCount));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.stage);
    const ShellFolderKind* kind = &ShellFolderKinds()[i];  // in the data file's order
    EXPECT_EQ(ShellFolderByStageName(row.stage), kind);
    EXPECT_EQ(ShellFolderByList(row.list), kind);
    EXPECT_EQ(kind->ownFolder, row.own);
    EXPECT_EQ(kind->commonFolder, row.common);
    EXPECT_STREQ(kind->ownName, row.ownName);
    EXPECT_EQ(kind->commonName == nullptr, row.commonName == nullptr);
    if (row.commonName) {
      EXPECT_STREQ(kind->commonName, row.commonName);
    }
    bool common = true;
    EXPECT_EQ(ShellFolderById(row.own, &common), kind);
    EXPECT_FALSE(common);
    if (row.common >= 0) {
      EXPECT_EQ(ShellFolderById(row.common, &common), kind);
      EXPECT_TRUE(common);
    }
    uninst::UninstallData data;
    data.*(kind->member) = "x";
    const char* uninst::UninstallData::*members[] = {
        &uninst::UninstallData::programGroup, &uninst::UninstallData::desktopShortcuts,
        &uninst::UninstallData::sendToShortcuts, &uninst::UninstallData::startMenuShortcuts,
        &uninst::UninstallData::startupShortcuts};
    EXPECT_STREQ(data.*members[i], "x");
  }
  bool common = false;
  EXPECT_EQ(ShellFolderByStageName("programs"), nullptr);  // a stage's names are exact
  EXPECT_EQ(ShellFolderById(uninst::kCsidlFonts, &common), nullptr);
}

// The end-to-end scripts describe Wine's prefix to uninstdat themselves
// (write_wine_machine in tests/e2e/lib.sh); their folders must be the ones
// try lays out, or the scripts' plans would check another machine.
TEST(ShellFoldersTest, TheScriptsDescribeWinesPrefixAsTryDoes) {
  std::ifstream in(std::string(UNINST_SOURCE_DIR) + "/tests/e2e/lib.sh");
  std::stringstream text;
  text << in.rdbuf();
  std::string lib = text.str();
  // The script's variables, as bash expands them ("\\" in double quotes is
  // one backslash; single quotes keep everything).
  std::map<std::string, std::string> vars = {{"WINE_USER", "user"}};
  auto expand = [&](std::string value, bool doubleQuoted) {
    if (!doubleQuoted) return value;
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\') {
        out += '\\';
        ++i;
      } else if (value[i] == '$') {
        size_t end = i + 1;
        while (end < value.size() && (isalnum(static_cast<unsigned char>(value[end])) || value[end] == '_')) ++end;
        out += vars[value.substr(i + 1, end - i - 1)];
        i = end - 1;
      } else {
        out += value[i];
      }
    }
    return out;
  };
  std::smatch m;
  std::regex assignment(R"x(\n(WIN_[A-Z_]+)=("([^"]*)"|'([^']*)'))x");
  for (auto it = lib.cbegin(); std::regex_search(it, lib.cend(), m, assignment); it = m[0].second)
    vars[m[1]] = m[3].matched ? expand(m[3], true) : expand(m[4], false);
  std::map<std::string, std::string> described;
  std::regex folder(R"x("([a-zA-Z]+)": \$\(j ("([^"]*)"|'([^']*)')\))x");
  size_t start = lib.find("\"shellFolders\"");
  ASSERT_NE(start, std::string::npos);
  std::string block = lib.substr(start, lib.find("\n  }", start) - start);
  for (auto it = block.cbegin(); std::regex_search(it, block.cend(), m, folder); it = m[0].second)
    described[m[1]] = m[3].matched ? expand(m[3], true) : expand(m[4], false);

  std::map<int, std::string> expected = ProfileShellFolders("C:\\users", "user", "StartUp");
  for (int i = 0; i < kShellFolderKindCount; ++i) {
    const ShellFolderKind& kind = ShellFolderKinds()[i];
    EXPECT_EQ(described[kind.ownName], expected[kind.ownFolder]) << kind.ownName;
    if (kind.commonName) {
      EXPECT_EQ(described[kind.commonName], expected[kind.commonFolder]) << kind.commonName;
    }
  }
  EXPECT_EQ(described["fonts"], "C:\\windows\\Fonts");
}

// The described NT machine and Wine's prefix differ only where Windows and
// Wine do: the profiles' folder, the user, and Startup's spelling.
TEST(ShellFoldersTest, ProfileLayouts) {
  Machine nt = DefaultMachine(uninst::kOsNt);
  EXPECT_EQ(nt.shellFolders[uninst::kCsidlStartup],
            "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup");
  EXPECT_EQ(nt.shellFolders[uninst::kCsidlCommonDesktopDirectory], "C:\\Users\\Public\\Desktop");
  EXPECT_EQ(nt.shellFolders[uninst::kCsidlCommonStartup],
            "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup");
  EXPECT_EQ(nt.shellFolders[uninst::kCsidlFonts], "C:\\Windows\\Fonts");
  EXPECT_EQ(nt.shellFolders.size(), 10u);
  std::map<int, std::string> wine = ProfileShellFolders("C:\\users", "me", "StartUp");
  EXPECT_EQ(wine[uninst::kCsidlSendTo], "C:\\users\\me\\AppData\\Roaming\\Microsoft\\Windows\\SendTo");
  EXPECT_EQ(wine[uninst::kCsidlPrograms], "C:\\users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(wine[uninst::kCsidlDesktopDirectory], "C:\\users\\me\\Desktop");
}

}  // namespace
}  // namespace uninstdat
