// The run: derived paths, the family, the boxes, the early ends and the end
// choice, on the fake platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/uninstall_app.h"
#include "tests/unit/fake_platform.h"
#include "tests/unit/test_data.h"

namespace uninst {
namespace {

TEST(DerivedPathsTest, DataFileAndExeFolder) {
  struct Row { const char* module; const char* dataFile; const char* exeFolder; };
  const Row rows[] = {
      {"C:\\Apps\\Tool\\uninst.exe", "C:\\Apps\\Tool\\uninst.dat", "C:\\Apps\\Tool"},
      {"C:\\My.Apps\\uninst", "C:\\My.dat", "C:\\My.Apps"},
      {"C:\\uninst.exe", "C:\\uninst.dat", "C:"},
      {"C:\\Apps\\uninst.x.EXE", "C:\\Apps\\uninst.x.dat", "C:\\Apps"},
      {"C:\\Apps\\uninst", "C:\\Apps\\uninst", "C:\\Apps"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.module);
    char dataFile[kMaxPath], exeFolder[kMaxPath];
    ASSERT_TRUE(DataFilePathFor(row.module, dataFile));
    ExeFolderFor(CodePage(), row.module, exeFolder);
    EXPECT_STREQ(dataFile, row.dataFile);
    EXPECT_STREQ(exeFolder, row.exeFolder);
  }
  // A trail byte "\\" in the program's own name does not end the folder.
  FakePlatform platform;
  platform.leadBytes = {0x83};
  char folder[kMaxPath];
  ExeFolderFor(CodePage(platform), "C:\\Apps\\\x83\\.exe", folder);
  EXPECT_STREQ(folder, "C:\\Apps");
  char out[kMaxPath];
  std::string fits = "C:\\" + std::string(252, 'd') + ".x";  // ".dat" makes 259 characters
  EXPECT_TRUE(DataFilePathFor(fits.c_str(), out));
  std::string deep = "C:\\" + std::string(253, 'd') + ".x";  // ".dat" would make 260
  EXPECT_FALSE(DataFilePathFor(deep.c_str(), out));
}

TEST(OsFamilyTest, FromVersion) {
  struct Row { bool ok; uint32_t platformId; uint32_t minor; int32_t family; };
  const Row rows[] = {{false, 2, 0, 0}, {true, 1, 0, 1}, {true, 1, 10, 2}, {true, 1, 90, 2},
                      {true, 2, 0, 3},  {true, 2, 2, 3}, {true, 0, 0, 0},  {true, 3, 0, 0}};
  for (const Row& row : rows) {
    FakePlatform platform;
    platform.versionOk = row.ok;
    platform.version = {row.platformId, row.minor};
    EXPECT_EQ(GetOsFamily(platform), row.family) << row.platformId << "." << row.minor;
  }
}

TEST(PrepareProcessTest, AddsTheTwoErrorModesToTheInheritedOnes) {
  FakePlatform platform;
  platform.errorMode = 0x0002;  // SEM_NOGPFAULTERRORBOX, from the parent process
  PrepareProcess(platform);
  EXPECT_EQ(platform.errorMode, 0x8003u);
}

const char kDat[] = "C:\\Apps\\Widget\\uninst.dat";

class RunTest : public ::testing::Test {
 protected:
  RunTest() { Install(); }
  // A fresh machine with the installed files, a registry key and the texts.
  void Install() {
    platform = FakePlatform();
    platform.AddFile("C:\\Apps\\Widget\\uninst.exe");
    platform.AddFile("C:\\Apps\\Widget\\widget.exe");
    platform.AddFile("C:\\Apps\\Widget\\readme.txt");
    platform.AddKey("HKCU\\Software\\Widget");
    platform.windowsDir = "C:\\WINDOWS";
    platform.AddFolder("C:\\WINDOWS");
    fields = {"HKEY_CURRENT_USER\\Software\\Widget;|", "", "", "", "", "", "Widget Setup",
              "Remove Widget?", "Close Widget.", "Widget was removed.", "", "Restart now?"};
  }
  void Write(const std::string& entries) { platform.AddFile(kDat, MakeDataFile(0, entries, fields)); }
  void Run() {
    UninstallApp app;
    app.Attach(platform);
    EXPECT_FALSE(app.RunUninstall());
  }
  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const FakeBox& box : platform.boxes) texts.push_back(box.text);
    return texts;
  }
  bool Logged(const std::string& line) {
    return std::find(platform.log.begin(), platform.log.end(), line) != platform.log.end();
  }
  // Each line is logged, each after the one before it.
  void ExpectInOrder(const std::vector<std::string>& lines) {
    auto at = platform.log.begin();
    for (const std::string& line : lines) {
      at = std::find(at, platform.log.end(), line);
      ASSERT_NE(at, platform.log.end()) << line << " missing or out of order";
    }
  }
  FakePlatform platform;
  std::vector<std::string> fields;
};

TEST_F(RunTest, NoDataFileEndsSilently) {
  Run();
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_TRUE(platform.Exists("C:\\Apps\\Widget\\widget.exe"));
  EXPECT_FALSE(Logged("CreateFile \\kavotel.bat"));
}

TEST_F(RunTest, CleanRunConfirmsClosesDeletesDataFileAndRemovesItself) {
  Write("widget.exe|readme.txt|");
  platform.boxAnswers = {kIdOk, kIdOk};
  Run();
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Remove Widget?", "Widget was removed."}));
  EXPECT_EQ(platform.boxes[0].caption, "Widget Setup");
  EXPECT_EQ(platform.boxes[0].type, kMbOkCancel);
  EXPECT_EQ(platform.boxes[1].type, kMbOk);
  EXPECT_FALSE(platform.Exists("C:\\Apps\\Widget\\widget.exe"));
  EXPECT_FALSE(platform.KeyExists("HKCU\\Software\\Widget"));
  EXPECT_FALSE(platform.Exists(kDat));
  ExpectInOrder({"MessageBox Remove Widget?", "RegDeleteKey HKCU\\SOFTWARE\\WIDGET",
                 "DeleteFile C:\\Apps\\Widget\\widget.exe", "MessageBox Widget was removed.",
                 std::string("DeleteFile ") + kDat, "CreateFile \\kavotel.bat", "GlobalFree"});
  EXPECT_EQ(platform.globalBlocks, 0);
}

TEST_F(RunTest, EarlyEndsRemoveNothingAndKeepTheDataFile) {
  struct Row { const char* name; std::deque<int> answers; bool running; std::vector<std::string> boxes; };
  const Row rows[] = {
      {"confirmation declined", {2}, true, {"Remove Widget?"}},
      {"confirmation box failed", {0}, false, {"Remove Widget?"}},
      {"running program cancelled", {kIdOk, 2}, true, {"Remove Widget?", "Close Widget."}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Install();
    Write("widget.exe|");
    if (row.running) platform.locked.insert("C:\\APPS\\WIDGET\\WIDGET.EXE");
    platform.boxAnswers = row.answers;
    Run();
    EXPECT_EQ(BoxTexts(), row.boxes);
    EXPECT_TRUE(platform.Exists("C:\\Apps\\Widget\\widget.exe"));
    EXPECT_TRUE(platform.KeyExists("HKCU\\Software\\Widget"));
    EXPECT_TRUE(platform.Exists(kDat));
    EXPECT_FALSE(Logged("CreateFile \\kavotel.bat"));
    EXPECT_EQ(platform.globalBlocks, 0);
  }
}

TEST_F(RunTest, EmptyTextsSkipTheirBoxes) {
  struct Row { const char* name; DataText emptied; std::vector<std::string> boxes; };
  const Row rows[] = {
      {"no confirmation text", DataText::kConfirmPrompt, {"Widget was removed."}},
      {"no closing text", DataText::kClosingMessage, {"Remove Widget?"}},
      {"no caption", DataText::kMessageCaption, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Install();
    fields[FieldOf(row.emptied)] = "";
    Write("widget.exe|");
    platform.boxAnswers = {kIdOk, kIdOk};
    Run();
    EXPECT_EQ(BoxTexts(), row.boxes);
    EXPECT_FALSE(platform.Exists("C:\\Apps\\Widget\\widget.exe"));
    EXPECT_FALSE(platform.Exists(kDat));
  }
}

TEST_F(RunTest, LeftoverAndAnythingButYesSchedulesNothing) {
  struct Row { const char* name; int answer; };
  const Row rows[] = {{"No", 7}, {"the box failed to appear", 0}, {"OK", kIdOk}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Install();
    platform.AddFile("C:\\Apps\\Widget\\sub\\x.txt");
    Write("sub|sub\\x.txt|");
    platform.boxAnswers = {kIdOk, kIdOk, row.answer};
    Run();
    EXPECT_EQ(BoxTexts().back(), "Restart now?");
    EXPECT_EQ(platform.boxes.back().type, kMbYesNo);
    // The question still reads its texts from the data block: it is freed last.
    ExpectInOrder({"MessageBox Widget was removed.", std::string("DeleteFile ") + kDat,
                   "MessageBox Restart now?", "GlobalFree"});
    EXPECT_FALSE(platform.Exists(kDat));
    EXPECT_TRUE(platform.Exists("C:\\Apps\\Widget\\sub"));
    EXPECT_TRUE(platform.scheduled.empty());
    EXPECT_FALSE(platform.Exists("C:\\WINDOWS\\WININIT.INI"));
    EXPECT_FALSE(Logged("CreateFile \\kavotel.bat"));
    EXPECT_FALSE(Logged("ExitWindowsEx 2 0"));
  }
}

TEST_F(RunTest, LeftoverAndYesRestartsPerFamily) {
  struct Row { const char* name; OsVersion version; bool ok; bool token; bool wininit; };
  const Row rows[] = {
      {"Windows 98", {1, 10}, true, false, true},
      {"Windows NT", {2, 0}, true, true, false},
      {"unknown", {0, 0}, true, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Install();
    platform.version = row.version;
    platform.AddFile("C:\\Apps\\Widget\\sub\\x.txt");
    Write("sub|sub\\x.txt|");
    platform.boxAnswers = {kIdOk, kIdOk, kIdYes};
    Run();
    EXPECT_TRUE(Logged("ExitWindowsEx 2 0"));
    EXPECT_EQ(Logged("OpenProcessToken"), row.token);
    EXPECT_EQ(platform.Exists("C:\\WINDOWS\\WININIT.INI"), row.wininit || row.version.platformId == 0);
    if (row.token) {
      EXPECT_EQ(platform.scheduled, (std::vector<std::string>{
                                        "C:\\Apps\\Widget\\sub", "C:\\Apps\\Widget\\uninst.exe",
                                        "C:\\Apps\\Widget"}));
    }
    EXPECT_FALSE(Logged("CreateFile \\kavotel.bat"));
  }
}

TEST_F(RunTest, LeftoverWithoutRestartTextEndsTheCleanWay) {
  fields[FieldOf(DataText::kRestartPrompt)] = "";
  platform.AddFile("C:\\Apps\\Widget\\sub\\x.txt");
  Write("sub|sub\\x.txt|");
  platform.boxAnswers = {kIdOk, kIdOk};
  Run();
  EXPECT_EQ(platform.boxes.size(), 2u);
  EXPECT_FALSE(Logged("ExitWindowsEx 2 0"));
  EXPECT_TRUE(Logged("CreateFile \\kavotel.bat"));
}

TEST_F(RunTest, ReleasesEveryBlock) {
  platform.AddFile("C:\\Apps\\Widget\\sub\\x.txt");
  Write("sub|sub\\x.txt|widget.exe|");
  platform.boxAnswers = {kIdOk, kIdOk, 7};
  Run();
  EXPECT_EQ(platform.globalBlocks, 0);
  EXPECT_EQ(platform.heapBlocks, 0);
}

}  // namespace
}  // namespace uninst
