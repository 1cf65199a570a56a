// try's checks of its options before any Wine work: the install folder, and
// the locale of each code page, and which uninstaller runs; and what the end
// of the Wine side means for a run.
#include "tools/uninstdat/try/try_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "tests/unit/uninstdat/try/try_fixture.h"
#include "tools/uninstdat/system/files.h"
#include "tools/uninstdat/try/try_session_parts.h"

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

// A Wine side that was ended for its time, or left its snapshots cut short,
// is judged but never counts clean, even where the runner had reported the
// uninstaller's end; so is one in which a program crashed. One that failed
// on its own, or an interrupt, gives no report at all.
TEST(TrySessionTest, AWineSideEndedForItsTimeNeverCountsClean) {
  const char* const kReported = nullptr;  // the fixture's account: the uninstaller's end reported
  const struct {
    const char* name;
    int code;
    bool timedOut, interrupted;
    const char* snapshotError;
    const char* runOutput;
    WineMessages messages;
    Exit judged;  // kDone: judged on what it left
    bool clean;
    const char* said;  // in the failure, or in the errors of the run
  } rows[] = {
      {"ended by itself, the end reported", 0, false, false, "", kReported, {}, Exit::kDone, true, ""},
      {"ended for its time after the end was reported", 143, true, false, "", kReported, {}, Exit::kDone, false,
       "timeout"},
      {"ended for its time, yet exit code 0", 0, true, false, "", kReported, {}, Exit::kDone, false, "timeout"},
      {"ended by itself, the end never reported", 0, false, false, "", "acp: 1252\r\n", {}, Exit::kDone, false,
       "did not report the uninstaller's end"},
      {"ended by itself, a snapshot cut short", 0, false, false, "a snapshot in /w/after.snap is cut short", kReported,
       {}, Exit::kDone, false, "cut short"},
      {"a program crashed in the run", 0, false, false, "", kReported,
       {"", "fixme:x\r\nwine: Unhandled page fault on read access to 00000000 at address 0040101A (thread 0024), "
            "starting debugger...\r\n", ""},
       Exit::kDone, false, "the run: a Windows program crashed: wine: Unhandled page fault on read access to 00000000 "
                           "at address 0040101A (thread 0024), starting debugger...\n"},
      {"a program crashed in the control run", 0, false, false, "", kReported,
       {"", "", "wine: Unhandled exception 0xc0000005 in thread 24 at address 0x1000"}, Exit::kDone, false,
       "the control run: a Windows program crashed: wine: Unhandled exception"},
      {"a program crashed in the import", 0, false, false, "", kReported, {"wine: Unhandled stack overflow", "", ""},
       Exit::kDone, false, "the import: a Windows program crashed"},
      {"Wine's other messages are no crash", 0, false, false, "", kReported,
       {"err:reg:x\n", "fixme:ntdll:NtQuerySystemInformation\nC:\\>del x\n  wine: Unhandled (indented)\n", ""},
       Exit::kDone, true, ""},
      {"failed on its own", 2, false, false, "", kReported, {}, Exit::kBadInput, false, "exit code 2"},
      {"interrupted", 130, false, true, "", kReported, {}, Exit::kInterrupted, false, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptResult ran;
    ran.code = row.code;
    ran.timedOut = row.timedOut;
    auto judged = WineSideJudged(ran, row.interrupted);
    if (row.judged != Exit::kDone) {
      ASSERT_FALSE(judged);
      EXPECT_EQ(judged.failure().code, row.judged);
      EXPECT_NE(judged.failure().message.find(row.said), std::string::npos) << judged.failure().message;
      continue;
    }
    ASSERT_TRUE(judged) << judged.failure().message;
    RunFixture fixture;
    if (row.runOutput) fixture.run.runOutput = row.runOutput;
    AccountWineSideEnd(ran, row.snapshotError, row.messages, &fixture.run);
    FamilyReport report = CompareRun(fixture.run);
    EXPECT_EQ(report.Clean(), row.clean);
    std::string errors;
    for (const TryRecord& record : report.records)
      if (record.kind == TryRecord::kError) errors += record.text + "\n";
    EXPECT_NE(errors.find(row.said), std::string::npos) << errors;
  }
}

// A snapshot that cannot be read whole is an error of the run: read as
// empty, its files and keys would all look removed, and the run clean.
TEST(TrySessionTest, ASnapshotThatCannotBeReadIsAnError) {
  const std::string files("C\0f\0Program Files/Widget/widget.exe\0\0", 37);
  const std::string hive = "WINE REGISTRY Version 2\n\n[Software\\\\Widget] 1\n\"v\"=\"1\"\n";
  const struct {
    const char* name;
    const char* missing;  // the file left out, or empty
    std::string filesBytes;
    const char* said;     // empty: no error
  } rows[] = {
      {"whole", "", files, ""},
      {"the listing cut short", "", files.substr(0, 20), "is cut short"},
      {"no listing", "files", files, "files cannot be read"},
      {"no hive", "user.reg", files, "user.reg cannot be read"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::string folder = ::testing::TempDir() + "/uninstdat-snapshot-" + std::to_string(getpid());
    ASSERT_TRUE(RemoveTree(folder));
    ASSERT_TRUE(MakeFolders(folder));
    RemovedAtEnd removed(folder, false);
    for (const char* file : {"files", "system.reg", "user.reg", "userdef.reg"})
      if (std::string(file) != row.missing)
        std::ofstream(folder + "/" + file, std::ios::binary) << (std::string(file) == "files" ? row.filesBytes : hive);
    std::string error;
    Snapshot snapshot = ReadSnapshot(folder, &error);
    if (*row.said) {
      EXPECT_NE(error.find(row.said), std::string::npos) << error;
      continue;
    }
    EXPECT_EQ(error, "");
    EXPECT_EQ(snapshot.files.size(), 1u);
    EXPECT_EQ(snapshot.registry.count({"HKEY_CURRENT_USER\\Software\\Widget", "v", true}), 1u);
  }
}

}  // namespace
}  // namespace uninstdat
