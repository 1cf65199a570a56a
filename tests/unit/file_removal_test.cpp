// Path queries, shell deletion, the running-program check, the removal of the
// listed paths and DeferredList.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/file_removal.h"
#include "tests/unit/fake_platform.h"

namespace uninst {
namespace {

TEST(PathQueryTest, IsExecutable) {
  struct Row { const char* path; bool expected; };
  const Row rows[] = {
      {"C:\\A\\tool.exe", true}, {"C:\\A\\TOOL.EXE", true}, {"C:\\A\\tool.Exe", true},
      {"C:\\A\\tool.exe.txt", false}, {"C:\\A\\tool.dll", false}, {"C:\\A\\tool", false},
      {"C:\\My.Apps\\uninst", false}, {"C:\\dir.exe\\file", false}, {"tool.ex", false},
      {"C:\\v1.2\\tool.exe", true}, {"C:\\A\\tool.exex", false},
  };
  for (const Row& row : rows) EXPECT_EQ(IsExecutable(row.path), row.expected) << row.path;
}

TEST(PathQueryTest, IsFileLockedOnlyOnSharingViolation) {
  FakePlatform platform;
  for (const char* name : {"free", "held", "denied"})
    platform.AddFile(std::string("C:\\A\\") + name);
  platform.locked.insert("C:\\A\\HELD");
  platform.unopenable.insert("C:\\A\\DENIED");
  struct Row { const char* path; bool locked; };
  const Row rows[] = {
      {"C:\\A\\free", false}, {"C:\\A\\held", true}, {"C:\\A\\denied", false}, {"C:\\A\\missing", false}};
  for (const Row& row : rows) EXPECT_EQ(IsFileLocked(platform, row.path), row.locked) << row.path;
}

TEST(PathQueryTest, ClassifyAndExists) {
  FakePlatform platform;
  platform.leadBytes = {0x83};
  const CodePage codePage(platform);
  platform.AddFile("C:\\A\\f.txt");
  platform.AddFile("E:\\other\\f.txt");  // on a volume that does not answer
  // Network paths: the share root is what answers; "\x83\\" is one character
  // in a server's and in a share's name.
  platform.volumes = {"C:\\", "\\\\SRV\\SHARE\\", "\\\\\x83\\S\\\x83\\X\\"};
  platform.AddFile("\\\\srv\\share\\d\\f.txt");
  platform.AddFile("\\\\\x83\\s\\\x83\\x\\d\\f.txt");
  struct Row { const char* path; int kind; bool exists; };
  const Row rows[] = {
      {"C:\\A\\f.txt", kPathFile, true},
      {"C:\\A", kPathFolder, true},
      {"C:\\A\\missing", kPathNothing, false},
      {"E:\\other\\f.txt", kPathFile, false},
      {"\\\\srv\\share\\d\\f.txt", kPathFile, true},
      {"\\\\\x83\\s\\\x83\\x\\d\\f.txt", kPathFile, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(ClassifyPath(platform, row.path), row.kind);
    EXPECT_EQ(PathExists(platform, codePage, row.path), row.exists);
  }
}

TEST(DeleteWithShellTest, OnlyExistingPathsWithoutWildcardsReachTheShell) {
  FakePlatform platform;
  platform.AddFile("C:\\G\\sub\\a.lnk");
  platform.AddFile("C:\\G\\b.lnk");
  platform.AddFile("C:\\keep\\x.lnk");
  struct Row { const char* path; bool shellCalled; };
  const Row rows[] = {
      {"C:\\missing", false},
      {"C:\\keep\\*.lnk", false},
      {"C:\\keep\\?.lnk", false},
      {"C:\\G", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    platform.log.clear();
    char buffer[kMaxPath];
    memset(buffer, 'Z', sizeof buffer);
    strcpy(buffer, row.path);
    EXPECT_EQ(DeleteWithShell(platform, CodePage(), buffer, sizeof buffer), 0);
    EXPECT_EQ(platform.log.size(), row.shellCalled ? 1u : 0u);
  }
  EXPECT_FALSE(platform.Exists("C:\\G\\sub\\a.lnk"));
  EXPECT_FALSE(platform.Exists("C:\\G"));
  EXPECT_TRUE(platform.Exists("C:\\keep\\x.lnk"));

  // A path that fills its buffer leaves no byte for the list's second NUL.
  char exact[8] = "C:\\keep";
  EXPECT_EQ(DeleteWithShell(platform, CodePage(), exact, sizeof exact), 0);
  EXPECT_TRUE(platform.Exists("C:\\keep"));
}

struct RunningCase {
  const char* name;
  std::vector<std::string> listed;
  std::vector<std::string> lockedFiles;
  int unlockAfter;  // lock tests until the first locked file is free; 0 never
  std::deque<int> answers;
  const char* prompt;
  const char* caption;
  bool expected;
  size_t boxes;
  int lockTests;  // every listed file is opened for the lock test, program or not
};

TEST(CheckRunningProgramsTest, Cases) {
  const RunningCase cases[] = {
      {"nothing in use", {"C:\\A\\tool.exe"}, {}, 0, {}, "Close it", "Cap", true, 0, 1},
      {"held library: no prompt", {"C:\\A\\lib.dll"}, {"C:\\A\\lib.dll"}, 0, {}, "Close it", "Cap", true, 0, 1},
      {"upper-case extension prompts, Cancel ends", {"C:\\A\\TOOL.EXE"}, {"C:\\A\\TOOL.EXE"}, 0, {2},
       "Close it", "Cap", false, 1, 1},
      {"box failing to show ends", {"C:\\A\\tool.exe"}, {"C:\\A\\tool.exe"}, 0, {0}, "Close it", "Cap",
       false, 1, 1},
      {"OK repeated until free", {"C:\\A\\tool.exe", "C:\\A\\b.txt"}, {"C:\\A\\tool.exe"}, 4,
       {1, 1, 1, 1, 1}, "Close it", "Cap", true, 3, 5},
      {"empty prompt: no box", {"C:\\A\\tool.exe"}, {"C:\\A\\tool.exe"}, 0, {}, "", "Cap", true, 0, 1},
      {"empty caption: no box", {"C:\\A\\tool.exe"}, {"C:\\A\\tool.exe"}, 0, {}, "Close it", "", true, 0, 1},
      {"folders and missing paths are passed over", {"C:\\A", "C:\\A\\gone.exe"}, {}, 0, {}, "P", "C",
       true, 0, 0},
  };
  for (const RunningCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    RemovalList list;
    list.Attach(&platform);
    for (const std::string& path : c.listed) {
      if (path.find('.') != std::string::npos && path.find("gone") == std::string::npos)
        platform.AddFile(path);
      list.Append(path.c_str());
    }
    platform.AddFolder("C:\\A");
    for (const std::string& path : c.lockedFiles) platform.locked.insert(FakePlatform::Upper(path));
    if (c.unlockAfter) platform.unlockAfterOpens[FakePlatform::Upper(c.lockedFiles[0])] = c.unlockAfter;
    platform.boxAnswers = c.answers;
    UninstallData data;
    data.runningPrompt = c.prompt;
    data.messageCaption = c.caption;
    EXPECT_EQ(CheckRunningPrograms(platform, list, data, nullptr), c.expected);
    ASSERT_EQ(platform.boxes.size(), c.boxes);
    for (const FakeBox& box : platform.boxes) {
      EXPECT_EQ(box.text, c.prompt);
      EXPECT_EQ(box.caption, c.caption);
      EXPECT_EQ(box.type, kMbOkCancel);
    }
    EXPECT_EQ(list.Count(), c.listed.size()) << "the walk leaves the list as it was";
    EXPECT_EQ(platform.lockTests, c.lockTests);
  }
}

struct RemovalCase {
  const char* name;
  std::vector<std::string> files;
  std::vector<std::string> listed;
  std::vector<std::string> held;
  bool failed;
  std::string deferred;
  std::vector<std::string> remaining;
};

TEST(RemoveListedPathsTest, Cases) {
  const RemovalCase cases[] = {
      {"files then their folder", {"C:\\A\\x", "C:\\A\\y"}, {"C:\\A\\x", "C:\\A\\y", "C:\\A"}, {},
       false, "", {}},
      {"folder before its files", {"C:\\A\\x", "C:\\A\\y"}, {"C:\\A", "C:\\A\\x", "C:\\A\\y"}, {}, true,
       "C:\\A|", {"C:\\A"}},
      {"nothing at the path", {}, {"C:\\missing"}, {}, false, "", {}},
      {"held library recorded", {"C:\\A\\lib.dll"}, {"C:\\A\\lib.dll", "C:\\A"}, {"C:\\A\\lib.dll"},
       true, "C:\\A\\lib.dll|C:\\A|", {"C:\\A", "C:\\A\\lib.dll"}},
      {"failing path listed twice is recorded twice", {"C:\\A\\lib.dll"},
       {"C:\\A\\lib.dll", "C:\\A\\lib.dll"}, {"C:\\A\\lib.dll"}, true,
       "C:\\A\\lib.dll|C:\\A\\lib.dll|", {"C:\\A", "C:\\A\\lib.dll"}},
      {"removed path listed twice is passed over", {"C:\\A\\x"}, {"C:\\A\\x", "C:\\A\\x"}, {}, false, "",
       {"C:\\A"}},
      {"empty list", {"C:\\A\\x"}, {}, {}, false, "", {"C:\\A", "C:\\A\\x"}},
  };
  for (const RemovalCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    for (const std::string& file : c.files) platform.AddFile(file);
    for (const std::string& file : c.held) platform.locked.insert(FakePlatform::Upper(file));
    RemovalList list;
    list.Attach(&platform);
    for (const std::string& path : c.listed) list.Append(path.c_str());
    DeferredList deferred;
    deferred.Attach(&platform);
    EXPECT_EQ(RemoveListedPaths(platform, list, deferred), c.failed);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(deferred.IsPresent(), c.failed);
    EXPECT_EQ(deferred.Text(), c.deferred);
    EXPECT_EQ(platform.Paths(), c.remaining);
    if (c.listed.empty()) {
      EXPECT_TRUE(platform.log.empty()) << "no call at all";
    }
  }
}

TEST(DeferredListTest, SizesAfterTwoFailures) {
  FakePlatform platform;
  DeferredList deferred;
  deferred.Attach(&platform);
  ASSERT_TRUE(deferred.Append("C:\\A\\x.dll"));  // 10 characters
  EXPECT_EQ(deferred.Size(), 12u);
  ASSERT_TRUE(deferred.Append("C:\\A"));  // 4 characters
  EXPECT_EQ(deferred.Size(), 18u);
  EXPECT_EQ(std::string(deferred.Text()), "C:\\A\\x.dll|C:\\A|");
  EXPECT_EQ(strlen(deferred.Text()) + 1, 17u);
}

TEST(DeferredListTest, GrowthFailureKeepsWhatWasRecorded) {
  FakePlatform platform;
  DeferredList deferred;
  deferred.Attach(&platform);
  ASSERT_TRUE(deferred.Append("C:\\first"));
  platform.heapFailAfter = 0;
  EXPECT_FALSE(deferred.Append(std::string(100, 'p').c_str()));
  EXPECT_EQ(std::string(deferred.Text()), "C:\\first|");
  EXPECT_EQ(deferred.Lost(), 1u);

  // The stage still reports the failure when the path could not be recorded.
  platform.heapFailAfter = -1;
  platform.AddFile("C:\\A\\held.dll");
  platform.locked.insert("C:\\A\\HELD.DLL");
  RemovalList list;
  list.Attach(&platform);
  list.Append("C:\\A\\held.dll");
  DeferredList empty;
  empty.Attach(&platform);
  platform.heapFailAfter = 0;
  EXPECT_TRUE(RemoveListedPaths(platform, list, empty));
  EXPECT_FALSE(empty.IsPresent());
}

TEST(DeferredListTest, GrowsWithoutCopyingOnEveryAppend) {
  FakePlatform platform;
  DeferredList deferred;
  deferred.Attach(&platform);
  int allowed = 64;  // far fewer reallocations than appends
  platform.heapFailAfter = allowed;
  for (int i = 0; i < 100000; ++i) ASSERT_TRUE(deferred.Append("C:\\some\\path.dll")) << i;
  EXPECT_EQ(deferred.Size(), 100000u * 18u);
}

}  // namespace
}  // namespace uninst
