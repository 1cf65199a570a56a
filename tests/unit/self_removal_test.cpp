// The batch text, the restart's privilege path and the start-up order of the
// self-removal batch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/self_removal.h"
#include "tests/unit/fake_platform.h"

namespace uninst {
namespace {

std::string Batch(const char* self, const char* folder) {
  char out[2048];
  size_t length = BuildBatchText(CodePage(), self, folder, out, sizeof out);
  return std::string(out, length);
}

TEST(BatchTextTest, Lines) {
  struct Row { const char* name; const char* self; const char* folder; std::string expected; };
  const Row rows[] = {
      {"blanks and long names", "C:\\Program Files\\Widget Tool\\uninst.exe",
       "C:\\Program Files\\Widget Tool",
       ":Repeat\r\ndel \"C:\\Program Files\\Widget Tool\\uninst.exe\"\r\n"
       "if exist \"C:\\Program Files\\Widget Tool\\uninst.exe\" goto Repeat\r\n"
       "rmdir \"C:\\Program Files\\Widget Tool\"\r\ndel \"\\kavotel.bat\"\r\n"},
      {"percent doubled", "C:\\100% Widget\\uninst.exe", "C:\\100% Widget",
       ":Repeat\r\ndel \"C:\\100%% Widget\\uninst.exe\"\r\n"
       "if exist \"C:\\100%% Widget\\uninst.exe\" goto Repeat\r\n"
       "rmdir \"C:\\100%% Widget\"\r\ndel \"\\kavotel.bat\"\r\n"},
      {"drive root is never removed", "C:\\uninst.exe", "C:",
       ":Repeat\r\ndel \"C:\\uninst.exe\"\r\nif exist \"C:\\uninst.exe\" goto Repeat\r\n"
       "del \"\\kavotel.bat\"\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Batch(row.self, row.folder), row.expected);
  }
  char small[16];
  EXPECT_EQ(BuildBatchText(CodePage(), "C:\\a\\uninst.exe", "C:\\a", small, sizeof small), 0u);
}

TEST(RestartWindowsTest, PrivilegePath) {
  // The privilege is looked up (the fake's identifier is 19) before it is
  // adjusted; GetLastError, not the call's result, decides.
  const std::vector<std::string> adjusted = {"OpenProcessToken", "LookupPrivilegeValue",
                                             "AdjustTokenPrivileges 19", "CloseHandle token"};
  std::vector<std::string> restarted = adjusted;
  restarted.push_back("ExitWindowsEx 2 0");
  struct Row {
    const char* name;
    bool tokenFails;
    uint32_t adjustError;
    std::vector<std::string> log;
  };
  const Row rows[] = {
      {"granted", false, 0, restarted},
      {"token fails", true, 0, {"OpenProcessToken"}},
      {"privilege not granted", false, kErrorNotAllAssigned, adjusted},
      {"any other error", false, 5, adjusted},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    platform.tokenFails = row.tokenFails;
    platform.adjustError = row.adjustError;
    RestartWindows(platform);
    EXPECT_EQ(platform.log, row.log);
  }
}

TEST(LaunchSelfRemovalTest, CallOrder) {
  FakePlatform platform;
  platform.modulePath = "C:\\Apps\\W\\uninst.exe";
  LaunchSelfRemoval(platform, CodePage());
  EXPECT_EQ(platform.log, (std::vector<std::string>{
                              "SetFileAttributes C:\\Apps\\W\\uninst.exe 128",
                              "CreateFile \\kavotel.bat", "WriteFile", "CloseHandle file",
                              "CreateProcess \\kavotel.bat in \\",
                              "SetThreadPriority batch-thread -15",
                              "SetThreadPriority self-thread 15", "SetPriorityClass 128",
                              "CloseHandle batch-process", "ResumeThread batch-thread",
                              "CloseHandle batch-thread"}));
  EXPECT_EQ(platform.written, Batch("C:\\Apps\\W\\uninst.exe", "C:\\Apps\\W"));
}

// The batch names the uninstaller as the batch interpreter reads it: in the
// OEM code page, else by its short form, else not at all. Each neighbour is
// a file that a naive conversion would name instead.
TEST(LaunchSelfRemovalTest, PathsInTheOemCodePage) {
  struct Row {
    const char* name;
    std::string module;
    std::string shortPath;  // GetShortPathName's answer; empty: it fails
    int bestFit;            // the OEM page's stand-in for the euro sign, 0: "?"
    bool dbcs;              // code page 932: OEM and ANSI pages are one
    std::string self;       // the batch's path, folder in `folder`; empty: no batch
    std::string folder;
  };
  const Row rows[] = {
      {"accented letters are converted", "C:\\Apps\\Caf\xE9 M\xFCller\\uninst.exe", "", 0, false,
       "C:\\Apps\\Caf\x82 M\x81ller\\uninst.exe", "C:\\Apps\\Caf\x82 M\x81ller"},
      {"a character the OEM page lacks: the short form", "C:\\Apps\\\x80 Tool\\uninst.exe",
       "C:\\Apps\\TOOL~1\\uninst.exe", 0, false, "C:\\Apps\\TOOL~1\\uninst.exe", "C:\\Apps\\TOOL~1"},
      {"a look-alike never stands for it", "C:\\Apps\\\x80 Tool\\uninst.exe",
       "C:\\Apps\\TOOL~1\\uninst.exe", 'E', false, "C:\\Apps\\TOOL~1\\uninst.exe", "C:\\Apps\\TOOL~1"},
      {"only in the file name", "C:\\Apps\\Tool\\\x80.exe", "C:\\Apps\\Tool\\EXE~1.EXE", 0, false,
       "C:\\Apps\\Tool\\EXE~1.EXE", "C:\\Apps\\Tool"},
      {"no short form: no batch", "C:\\Apps\\\x80 Tool\\uninst.exe", "", 'E', false, "", ""},
      {"a short form that does not convert either: no batch", "C:\\Apps\\\x80 Tool\\uninst.exe",
       "C:\\Apps\\\x80TOOL~1\\uninst.exe", 0, false, "", ""},
      {"a short form longer than a path buffer: no batch", "C:\\Apps\\\x80 Tool\\uninst.exe",
       "C:\\" + std::string(130, 'A') + "~1\\" + std::string(130, 'B') + "~1.EXE", 0, false, "", ""},
      // The folder is cut at the last backslash character: in "\x83\\" the
      // backslash byte is the second half of the program's own name.
      {"double-byte name with a trail byte backslash", "C:\\Apps\\\x83\\.exe", "", 0, true,
       "C:\\Apps\\\x83\\.exe", "C:\\Apps"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    platform.modulePath = row.module;
    platform.AddFile(row.module);
    platform.AddFile("C:\\Apps\\E Tool\\uninst.exe");
    if (!row.shortPath.empty()) platform.shortNames[FakePlatform::Upper(row.module)] = row.shortPath;
    if (row.bestFit) platform.oemOf[0x80] = static_cast<uint8_t>(row.bestFit);
    if (row.dbcs) {
      platform.leadBytes = {0x83};
      platform.oemIsAnsi = true;
    }
    LaunchSelfRemoval(platform, CodePage(platform));
    if (row.self.empty()) {
      EXPECT_TRUE(platform.log.empty()) << "nothing written or started, no attribute changed";
      EXPECT_FALSE(platform.Exists("C:\\kavotel.bat"));
    } else {
      CodePage codePage(platform);
      char expected[2048];
      size_t length = BuildBatchText(codePage, row.self.c_str(), row.folder.c_str(), expected,
                                     sizeof expected);
      EXPECT_EQ(platform.written, std::string(expected, length));
      ASSERT_FALSE(platform.log.empty());
      EXPECT_EQ(platform.log.front(), "SetFileAttributes " + row.module + " 128");
    }
  }
}

TEST(LaunchSelfRemovalTest, Failures) {
  FakePlatform noFile;
  noFile.createFileFails = true;
  LaunchSelfRemoval(noFile, CodePage());
  EXPECT_EQ(noFile.log, (std::vector<std::string>{
                            "SetFileAttributes C:\\Apps\\Widget\\uninst.exe 128",
                            "CreateFile \\kavotel.bat"}));

  FakePlatform noProcess;
  noProcess.createProcessFails = true;
  LaunchSelfRemoval(noProcess, CodePage());
  EXPECT_EQ(noProcess.log.back(), "CreateProcess \\kavotel.bat in \\");
  EXPECT_TRUE(noProcess.Exists("C:\\kavotel.bat")) << "the batch stays, not started";

  FakePlatform noPath;  // the module path does not fit: nothing to delete
  noPath.modulePath = "C:\\" + std::string(300, 'p');
  LaunchSelfRemoval(noPath, CodePage());
  EXPECT_FALSE(noPath.Exists("C:\\kavotel.bat"));
  EXPECT_TRUE(noPath.log.empty());
}

}  // namespace
}  // namespace uninst
