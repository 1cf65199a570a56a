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
                              "CreateFile \\kavotel.bat", "WriteFile", "CloseHandle file",
                              "CreateProcess \\kavotel.bat in \\",
                              "SetThreadPriority batch-thread -15",
                              "SetThreadPriority self-thread 15", "SetPriorityClass 128",
                              "CloseHandle batch-process", "ResumeThread batch-thread",
                              "CloseHandle batch-thread"}));
  EXPECT_EQ(platform.written, Batch("C:\\Apps\\W\\uninst.exe", "C:\\Apps\\W"));
}

TEST(LaunchSelfRemovalTest, Failures) {
  FakePlatform noFile;
  noFile.createFileFails = true;
  LaunchSelfRemoval(noFile, CodePage());
  EXPECT_EQ(noFile.log, std::vector<std::string>{"CreateFile \\kavotel.bat"});

  FakePlatform noProcess;
  noProcess.createProcessFails = true;
  LaunchSelfRemoval(noProcess, CodePage());
  EXPECT_EQ(noProcess.log.back(), "CreateProcess \\kavotel.bat in \\");
  EXPECT_TRUE(noProcess.Exists("C:\\kavotel.bat")) << "the batch stays, not started";

  FakePlatform noPath;  // the module path does not fit: nothing to delete
  noPath.modulePath = "C:\\" + std::string(300, 'p');
  LaunchSelfRemoval(noPath, CodePage());
  EXPECT_FALSE(noPath.Exists("C:\\kavotel.bat"));
  EXPECT_TRUE(noPath.written.empty());
}

}  // namespace
}  // namespace uninst
