// The WININIT.INI rewrite on exact bytes, the short path, and scheduling on
// each family with its failure paths.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/restart_schedule.h"
#include "tests/unit/fake_platform.h"

namespace uninst {
namespace {

class StringSink : public ByteSink {
 public:
  void Write(const char* data, size_t size) override { text.append(data, size); }
  std::string text;
};

std::string Rewrite(const char* old, size_t size, const char* line) {
  StringSink sink;
  RewriteWininit(old, size, line, sink);
  return sink.text;
}

TEST(WininitRewriteTest, ExactBytes) {
  const std::string longLine(300, 'x');
  const std::string line255(255, 'y');
  struct Row { const char* name; bool hasOld; std::string old; const char* path; std::string expected; };
  const Row rows[] = {
      {"no file yet", false, "", "C:\\W\\A.DLL", "[rename]\r\nNUL=C:\\W\\A.DLL\r\n"},
      {"no rename section", true, "[boot]\r\nshell=x\r\n", "C:\\A",
       "[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\A\r\n"},
      {"last line without line end", true, "[boot]\r\nshell=x", "C:\\A",
       "[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\A\r\n"},
      {"header in other case with text after it", true,
       "[boot]\r\na=1\r\n[ReNaMe] old comment\r\nNUL=C:\\OLD\r\n[z]\r\nb=2\r\n", "C:\\NEW",
       "[boot]\r\na=1\r\n[rename]\r\nNUL=C:\\NEW\r\nNUL=C:\\OLD\r\n[z]\r\nb=2\r\n"},
      {"only the first header", true, "[RENAME]\r\n[rename]\r\n", "C:\\A",
       "[rename]\r\nNUL=C:\\A\r\n[rename]\r\n"},
      {"line longer than a piece is copied whole", true, longLine + "\r\n[Rename]\r\n", "C:\\A",
       longLine + "\r\n[rename]\r\nNUL=C:\\A\r\n"},
      {"header text past a piece boundary is no header", true, line255 + "[rename]\r\n", "C:\\A",
       line255 + "[rename]\r\n[rename]\r\nNUL=C:\\A\r\n"},
      {"0x1A ends the input", true, "[boot]\r\n\x1A[rename]\r\nNUL=C:\\GONE\r\n", "C:\\A",
       "[boot]\r\n[rename]\r\nNUL=C:\\A\r\n"},
      {"LF-only lines come out CR LF, a lone CR stays", true, "a\nb\rc\n", "C:\\A",
       "a\r\nb\rc\r\n[rename]\r\nNUL=C:\\A\r\n"},
      {"unknown family writes the header only", true, "[boot]\r\n", nullptr, "[boot]\r\n[rename]\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Rewrite(row.hasOld ? row.old.data() : nullptr, row.old.size(), row.path), row.expected);
  }
}

TEST(WininitRewriteTest, SecondSchedulingStandsAbove) {
  std::string first = Rewrite(nullptr, 0, "C:\\FIRST");
  EXPECT_EQ(Rewrite(first.data(), first.size(), "C:\\SECOND"),
            "[rename]\r\nNUL=C:\\SECOND\r\nNUL=C:\\FIRST\r\n");
}

TEST(ShortPathTest, Fallbacks) {
  struct Row { const char* name; uint32_t error; const char* alternate; const char* expected; };
  const Row rows[] = {
      {"system gives it", 0, nullptr, "C:\\PROGRA~1\\LONGFI~1.TXT"},
      {"other error: long path", 5, "LONGFI~1.TXT", "C:\\Program Files\\Long file.txt"},
      {"not supported: last component shortened", kErrorNotSupported, "LONGFI~1.TXT",
       "C:\\Program Files\\LONGFI~1.TXT"},
      {"not supported, no 8.3 name: long path", kErrorNotSupported, "",
       "C:\\Program Files\\Long file.txt"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    const char* path = "C:\\Program Files\\Long file.txt";
    platform.AddFile(path);
    platform.shortNames[FakePlatform::Upper(path)] = "C:\\PROGRA~1\\LONGFI~1.TXT";
    platform.shortPathError = row.error;
    if (row.alternate) platform.alternateNames[FakePlatform::Upper(path)] = row.alternate;
    char out[kMaxPath];
    ASSERT_TRUE(ShortPathForWininit(platform, CodePage(), path, out));
    EXPECT_STREQ(out, row.expected);
  }
  // The last component is cut by characters: "\x83\\" is part of the name.
  FakePlatform platform;
  platform.leadBytes = {0x83};
  const char* path = "C:\\Dir\\\x83\\ name.txt";
  platform.AddFile(path);
  platform.shortPathError = kErrorNotSupported;
  platform.alternateNames[FakePlatform::Upper(path)] = "NAME~1.TXT";
  char out[kMaxPath];
  ASSERT_TRUE(ShortPathForWininit(platform, CodePage(platform), path, out));
  EXPECT_STREQ(out, "C:\\Dir\\NAME~1.TXT");
}

class ScheduleTest : public ::testing::Test {
 protected:
  ScheduleTest() : state(platform) {
    platform.windowsDir = "C:\\WINDOWS";
    platform.AddFolder("C:\\WINDOWS");
    platform.AddFile("C:\\Apps\\W\\a.dll");
    platform.shortNames["C:\\APPS\\W\\A.DLL"] = "C:\\APPS\\W\\A.DLL";
    platform.modulePath = "C:\\Apps\\W\\uninst.exe";
    state.osFamily = kOsWin98;
  }
  std::string Wininit() { return platform.Content("C:\\WINDOWS\\WININIT.INI"); }
  std::vector<std::string> WindowsFolder() {
    std::vector<std::string> names;
    for (const std::string& path : platform.Paths())
      if (path.rfind("C:\\WINDOWS\\", 0) == 0) names.push_back(path.substr(11));
    return names;
  }
  FakePlatform platform;
  RunState state;
};

TEST_F(ScheduleTest, NtUsesDelayedMove) {
  state.osFamily = kOsNt;
  EXPECT_TRUE(ScheduleDeleteAtRestart(state, "C:\\Apps\\W\\a.dll"));
  EXPECT_EQ(platform.scheduled, std::vector<std::string>{"C:\\Apps\\W\\a.dll"});
  EXPECT_EQ(platform.log.front(), "SetFileAttributes C:\\Apps\\W\\a.dll 128");
  EXPECT_TRUE(WindowsFolder().empty());
}

TEST_F(ScheduleTest, Win98WritesWininit) {
  EXPECT_TRUE(ScheduleDeleteAtRestart(state, "C:\\Apps\\W\\a.dll"));
  EXPECT_EQ(Wininit(), "[rename]\r\nNUL=C:\\APPS\\W\\A.DLL\r\n");
  EXPECT_EQ(platform.log[1], "GetTempFileName C:\\WINDOWS WININIT.INI 0");
  EXPECT_EQ(WindowsFolder(), std::vector<std::string>{"WININIT.INI"}) << "temporary file moved";
}

TEST_F(ScheduleTest, UnknownFamilyWritesHeaderAndReportsNothingScheduled) {
  state.osFamily = kOsUnknown;
  platform.AddFile("C:\\WINDOWS\\WININIT.INI", "[boot]\r\n");
  EXPECT_FALSE(ScheduleDeleteAtRestart(state, "C:\\Apps\\W\\a.dll"));
  EXPECT_EQ(Wininit(), "[boot]\r\n[rename]\r\n");
}

TEST_F(ScheduleTest, FailuresLeaveWininitAsItWas) {
  platform.AddFile("C:\\WINDOWS\\WININIT.INI", "[boot]\r\n");
  platform.tempFileFails = true;
  EXPECT_FALSE(ScheduleDeleteAtRestart(state, "C:\\Apps\\W\\a.dll"));
  EXPECT_EQ(Wininit(), "[boot]\r\n");
  platform.tempFileFails = false;
  platform.deleteFails = true;
  EXPECT_FALSE(ScheduleDeleteAtRestart(state, "C:\\Apps\\W\\a.dll"));
  EXPECT_EQ(Wininit(), "[boot]\r\n");
  EXPECT_EQ(WindowsFolder(), std::vector<std::string>{"WININIT.INI"}) << "temporary file deleted";
  platform.deleteFails = false;
  platform.unopenable.insert("C:\\WINDOWS\\WIN2.TMP");  // the next temporary file
  EXPECT_FALSE(ScheduleDeleteAtRestart(state, "C:\\Apps\\W\\a.dll"));
  EXPECT_EQ(Wininit(), "[boot]\r\n");
  EXPECT_EQ(WindowsFolder(), (std::vector<std::string>{"WIN2.TMP", "WININIT.INI"})) << "left empty";
  platform.DeleteFile("C:\\WINDOWS\\WIN2.TMP");
  // A read error halfway is no end of file, and a short write no new file.
  platform.readFailsAt["C:\\WINDOWS\\WININIT.INI"] = 4;
  EXPECT_FALSE(ScheduleDeleteAtRestart(state, "C:\\Apps\\W\\a.dll"));
  platform.readFailsAt.clear();
  platform.fullAt["C:\\WINDOWS\\WIN4.TMP"] = 5;
  EXPECT_FALSE(ScheduleDeleteAtRestart(state, "C:\\Apps\\W\\a.dll"));
  EXPECT_EQ(Wininit(), "[boot]\r\n");
  EXPECT_EQ(WindowsFolder(), std::vector<std::string>{"WININIT.INI"}) << "temporary files deleted";
}

TEST_F(ScheduleTest, FailedMoveStillCountsAsScheduled) {
  platform.moveFails = true;
  EXPECT_TRUE(ScheduleDeleteAtRestart(state, "C:\\Apps\\W\\a.dll"));
  EXPECT_EQ(platform.Content("C:\\WINDOWS\\WIN1.TMP"), "[rename]\r\nNUL=C:\\APPS\\W\\A.DLL\r\n");
}

TEST_F(ScheduleTest, DeferredListThenSelfInOrder) {
  platform.AddFile("C:\\Apps\\W\\b.dll");
  platform.shortNames["C:\\APPS\\W\\B.DLL"] = "C:\\APPS\\W\\B.DLL";
  platform.shortNames["C:\\APPS\\W\\UNINST.EXE"] = "C:\\APPS\\W\\UNINST.EXE";
  platform.shortNames["C:\\APPS\\W"] = "C:\\APPS\\W";
  DeferredList deferred;
  deferred.Attach(&platform);
  deferred.Append("C:\\Apps\\W\\a.dll");
  deferred.Append("C:\\Apps\\W\\b.dll");
  deferred.Append(("C:\\" + std::string(300, 'l')).c_str());  // never cut, passed over
  ScheduleDeferredList(state, deferred);
  ScheduleSelfRemoval(state);
  EXPECT_EQ(Wininit(),
            "[rename]\r\nNUL=C:\\APPS\\W\r\nNUL=C:\\APPS\\W\\UNINST.EXE\r\n"
            "NUL=C:\\APPS\\W\\B.DLL\r\nNUL=C:\\APPS\\W\\A.DLL\r\n");

  state.osFamily = kOsNt;
  ScheduleDeferredList(state, deferred);
  ScheduleSelfRemoval(state);
  EXPECT_EQ(platform.scheduled, (std::vector<std::string>{"C:\\Apps\\W\\a.dll", "C:\\Apps\\W\\b.dll",
                                                          "C:\\Apps\\W\\uninst.exe", "C:\\Apps\\W"}));
}

// "\x83\x7C" is one character whose trail byte equals "|": the leftover is
// scheduled whole, never as the fragments "C:\Apps\W\x83" and ".dll".
TEST_F(ScheduleTest, DeferredPathsAreReadByCharacters) {
  platform.leadBytes = {0x83};
  state.codePage = CodePage(platform);
  const std::string leftover = "C:\\Apps\\W\\\x83|.dll";
  platform.AddFile(leftover);
  platform.shortNames[FakePlatform::Upper(leftover)] = "C:\\APPS\\W\\\x83|~1.DLL";
  DeferredList deferred;
  deferred.Attach(&platform);
  deferred.Append(leftover.c_str());
  ScheduleDeferredList(state, deferred);
  EXPECT_EQ(Wininit(), "[rename]\r\nNUL=C:\\APPS\\W\\\x83|~1.DLL\r\n");
  state.osFamily = kOsNt;
  ScheduleDeferredList(state, deferred);
  EXPECT_EQ(platform.scheduled, std::vector<std::string>{leftover});
}

TEST_F(ScheduleTest, NoDeferredListStillSchedulesSelfButNeverARoot) {
  state.osFamily = kOsNt;
  platform.leadBytes = {0x83};
  state.codePage = CodePage(platform);
  DeferredList absent;
  ScheduleDeferredList(state, absent);
  struct Row { const char* module; std::vector<std::string> scheduled; };
  const Row rows[] = {
      {"C:\\uninst.exe", {"C:\\uninst.exe"}},
      {"\\\\srv\\share\\uninst.exe", {"\\\\srv\\share\\uninst.exe"}},
      // "\x83\\" is one character of the program's own name: the folder is C:\Apps.
      {"C:\\Apps\\\x83\\.exe", {"C:\\Apps\\\x83\\.exe", "C:\\Apps"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.module);
    platform.scheduled.clear();
    platform.modulePath = row.module;
    ScheduleSelfRemoval(state);
    EXPECT_EQ(platform.scheduled, row.scheduled);
  }
}

TEST(RootTest, DriveAndShareRoots) {
  struct Row { const char* folder; bool root; };
  const Row rows[] = {{"C:", true},           {"C:\\", true},           {"", true},
                      {"\\\\srv\\share", true}, {"\\\\srv\\share\\", true}, {"\\\\srv", true},
                      {"C:\\Apps", false},      {"\\\\srv\\share\\dir", false}};
  for (const Row& row : rows) EXPECT_EQ(IsDriveOrShareRoot(CodePage(), row.folder), row.root) << row.folder;
  FakePlatform platform;
  platform.leadBytes = {0x83};
  EXPECT_TRUE(IsDriveOrShareRoot(CodePage(platform), "\\\\srv\\\x83\\x")) << "one share name";
  EXPECT_FALSE(IsDriveOrShareRoot(CodePage(platform), "C:\\\x83\\"));
}

}  // namespace
}  // namespace uninst
