// The folder choice, the shortcut-list walk and the program-group refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/shortcuts.h"
#include "tests/unit/fake_platform.h"

namespace uninst {
namespace {

TEST(ShortcutFolderTest, SharedOnlyOnNtWithAllUsers) {
  struct Row { int32_t family; uint32_t allUsers; bool shared; };
  const Row rows[] = {
      {kOsUnknown, 0, false}, {kOsUnknown, 1, false}, {kOsWin95, 0, false}, {kOsWin95, 1, false},
      {kOsWin98, 0, false},   {kOsWin98, 1, false},   {kOsNt, 0, false},    {kOsNt, 1, true},
      {kOsNt, 0x100, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.family) + "/" + std::to_string(row.allUsers));
    EXPECT_EQ(ChooseFolderCsidl(row.family, row.allUsers, kCsidlPrograms, kCsidlCommonPrograms),
              row.shared ? kCsidlCommonPrograms : kCsidlPrograms);
    EXPECT_EQ(ChooseFolderCsidl(row.family, row.allUsers, kCsidlSendTo, kNoSharedFolder), kCsidlSendTo);
  }
}

TEST(ShortcutListTest, Names) {
  FakePlatform platform;
  platform.leadBytes = {0x81};
  CodePage codePage(platform);
  struct Row { const char* list; std::vector<std::string> names; };
  const Row rows[] = {
      {"Tool;Readme;", {"Tool", "Readme"}},
      {"Tool;Readme", {"Tool"}},
      {"Tool", {}},
      {";Tool;", {"", "Tool"}},
      {"Utilities\\Tool;", {"Utilities\\Tool"}},
      {"\x81;x;", {"\x81;x"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.list);
    std::vector<std::string> names;
    ForEachShortcutName(codePage, row.list,
                        [](void* context, const char* name, size_t length) {
                          static_cast<std::vector<std::string>*>(context)->emplace_back(name, length);
                        },
                        &names);
    EXPECT_EQ(names, row.names);
  }
}

TEST(ProgramGroupTest, RefusesWhatReachesBeyondThePrograms) {
  struct Row { const char* group; bool safe; };
  const Row rows[] = {
      {"Widget", true}, {"Vendor\\Product", true}, {"Vendor/Product", true}, {"\\Widget", true},
      {"Widget\\", true}, {"", false}, {"\\", false}, {"\\/\\", false}, {".", false}, {"..", false},
      {"Vendor\\..\\..", false}, {"Vendor\\.", false}, {"...", false}, {". .", false},
      {"C:", false}, {"C:\\Windows", false}, {"\\\\server\\share", false}, {"Wid.get", true},
  };
  for (const Row& row : rows) EXPECT_EQ(IsSafeProgramGroup(CodePage(), row.group), row.safe) << row.group;
  // In a double-byte code page a trail byte "\\" splits no component: the
  // group "\x83\\." (a katakana character and a dot) is a name, not ".".
  FakePlatform platform;
  platform.leadBytes = {0x83};
  EXPECT_TRUE(IsSafeProgramGroup(CodePage(platform), "\x83\\."));
  EXPECT_FALSE(IsSafeProgramGroup(CodePage(platform), "\x83\\\\.."));
  EXPECT_FALSE(IsSafeProgramGroup(CodePage(), "\x83\\."));
}

class RemoveShortcutsTest : public ::testing::Test {
 protected:
  RemoveShortcutsTest() : state(platform) {
    platform.shellFolders = {
        {kCsidlPrograms, "C:\\U\\Programs"},        {kCsidlCommonPrograms, "C:\\All\\Programs"},
        {kCsidlDesktopDirectory, "C:\\U\\Desktop"}, {kCsidlCommonDesktopDirectory, "C:\\All\\Desktop"},
        {kCsidlSendTo, "C:\\U\\SendTo"},            {kCsidlStartMenu, "C:\\U\\Start"},
        {kCsidlCommonStartMenu, "C:\\All\\Start"},  {kCsidlStartup, "C:\\U\\Startup"},
        {kCsidlCommonStartup, "C:\\All\\Startup"}};
    for (const char* root : {"C:\\U", "C:\\All"})
      for (const char* name : {"Desktop", "SendTo", "Start", "Startup"})
        for (const char* link : {"Tool.lnk", "Readme.lnk", "Other.lnk", "Tool.lnk.lnk"})
          platform.AddFile(std::string(root) + "\\" + name + "\\" + link);
    platform.AddFile("C:\\U\\Start\\Utilities\\Tool.lnk");
    platform.AddFile("C:\\U\\Programs\\Vendor\\Product\\a.lnk");
    platform.AddFile("C:\\U\\Programs\\Vendor\\Other\\b.lnk");
    platform.AddFile("C:\\All\\Programs\\Widget\\a.lnk");
  }
  std::vector<std::string> Deleted() {
    std::vector<std::string> deleted;
    for (const std::string& line : platform.log)
      if (line.rfind("ShellDelete ", 0) == 0 && !platform.Exists(line.substr(12)))
        deleted.push_back(line.substr(12));
    return deleted;
  }
  FakePlatform platform;
  RunState state;
};

TEST_F(RemoveShortcutsTest, AllUsersOnNt) {
  state.osFamily = kOsNt;
  state.data.allUsers = 1;
  state.data.programGroup = "Widget";
  state.data.desktopShortcuts = "Tool;Readme;";
  state.data.sendToShortcuts = "Tool;";
  state.data.startMenuShortcuts = "Utilities\\Tool;Tool.lnk;";
  state.data.startupShortcuts = ";Tool;Readme";
  RemoveShortcuts(state);
  EXPECT_EQ(Deleted(), (std::vector<std::string>{
                           "C:\\All\\Programs\\Widget", "C:\\All\\Desktop\\Tool.lnk",
                           "C:\\All\\Desktop\\Readme.lnk", "C:\\U\\SendTo\\Tool.lnk",
                           "C:\\All\\Start\\Tool.lnk.lnk", "C:\\All\\Startup\\Tool.lnk"}));
  EXPECT_TRUE(platform.Exists("C:\\All\\Startup\\Readme.lnk")) << "after the last ;";
  EXPECT_TRUE(platform.Exists("C:\\U\\Desktop\\Tool.lnk")) << "own folder untouched";
}

TEST_F(RemoveShortcutsTest, OwnFoldersOn98WhateverAllUsersSays) {
  state.osFamily = kOsWin98;
  state.data.allUsers = 1;
  state.data.programGroup = "Vendor\\Product";
  state.data.startMenuShortcuts = "Utilities\\Tool;";
  RemoveShortcuts(state);
  EXPECT_EQ(Deleted(), (std::vector<std::string>{"C:\\U\\Programs\\Vendor\\Product",
                                                 "C:\\U\\Start\\Utilities\\Tool.lnk"}));
  EXPECT_TRUE(platform.Exists("C:\\U\\Programs\\Vendor\\Other\\b.lnk"));
  EXPECT_TRUE(platform.Exists("C:\\U\\Start\\Utilities"));
}

TEST_F(RemoveShortcutsTest, EmptyListsAskForNoFolderAndUnsafeGroupsDeleteNothing) {
  for (const char* group : {"..", "C:\\", "\\\\srv\\share", "\\", "Vendor\\..\\.."}) {
    SCOPED_TRACE(group);
    platform.log.clear();
    state.data.programGroup = group;
    RemoveShortcuts(state);
    EXPECT_TRUE(platform.log.empty());
  }
  EXPECT_TRUE(platform.Exists("C:\\U\\Programs\\Vendor\\Product\\a.lnk"));
}

TEST_F(RemoveShortcutsTest, MissingFolderSkipsOnlyItsRow) {
  platform.shellFolders.erase(kCsidlDesktopDirectory);
  state.data.desktopShortcuts = "Tool;";
  state.data.sendToShortcuts = "Tool;";
  RemoveShortcuts(state);
  EXPECT_EQ(Deleted(), std::vector<std::string>{"C:\\U\\SendTo\\Tool.lnk"});
}

TEST(ShortcutPathTest, TooLongIsSkippedNeverCut) {
  char out[kMaxPath];
  std::string folder = "C:\\" + std::string(200, 'f');
  EXPECT_TRUE(BuildShortcutPath(CodePage(), folder.c_str(), std::string(50, 'n').c_str(), 50, out));
  EXPECT_EQ(strlen(out), 258u);
  EXPECT_FALSE(BuildShortcutPath(CodePage(), folder.c_str(), std::string(51, 'n').c_str(), 51, out));
}

}  // namespace
}  // namespace uninst
