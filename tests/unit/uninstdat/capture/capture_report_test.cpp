// What a capture reports and writes: every change captured or left out for
// its reason, try's own refusals kept out of the stage, the shortcuts'
// users, the caps, and the run's account read right.
#include "tools/uninstdat/capture/capture_report.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

const std::string kOk = "acp: 1252\nexit: 0\n";

CaptureFacts Facts() {
  CaptureFacts facts;
  facts.installer = {InstallerKind::kNsis, 32};
  facts.installerName = "setup.exe";
  facts.commandLine = "\"Z:\\sandbox\\input\\installer\\setup.exe\" /S";
  facts.family = "nt";
  facts.view = {"joe", true};
  facts.account = kOk;
  facts.controlAccount = kOk;
  return facts;
}

FileChange Added(const std::string& root, const std::string& path, char type = 'f') {
  FileChange change;
  change.where = {root, path};
  change.after.type = type;
  change.after.hash = type == 'f' ? std::string(64, 'a') : "";
  return change;
}

const CaptureRecord* Find(const CaptureReport& report, const std::string& path, const std::string& value = "") {
  for (const CaptureRecord& record : report.records)
    if (record.path == path && record.value == value) return &record;
  return nullptr;
}

TEST(CaptureReportTest, EachFileIsCapturedOrLeftOutForItsReason) {
  const struct {
    const char* name;
    FileChange change;
    const char* path;
    CaptureRecord::Record record;
    const char* reasonOrStage;
  } rows[] = {
      {"a file of the product", Added("C", "Program Files (x86)/Acme/a.exe"), "C:\\Program Files (x86)\\Acme\\a.exe",
       CaptureRecord::kCaptured, "files/C/Program Files/Acme/a.exe"},
      {"a folder", Added("C", "Program Files (x86)/Acme/help", 'd'), "C:\\Program Files (x86)\\Acme\\help",
       CaptureRecord::kCaptured, "files/C/Program Files/Acme/help"},
      {"a library", Added("C", "windows/syswow64/acme.dll"), "C:\\windows\\syswow64\\acme.dll", CaptureRecord::kCaptured,
       "files/C/Windows/System32/acme.dll"},
      {"a shortcut", Added("HOME", "Desktop/Acme.lnk"), "C:\\users\\joe\\Desktop\\Acme.lnk", CaptureRecord::kCaptured,
       "shell/Desktop/Acme.lnk"},
      {"another drive", Added("D", "a.txt"), "D:\\a.txt", CaptureRecord::kLeftOut, "other-drive"},
      {"a user's settings", Added("C", "users/joe/AppData/Roaming/Acme/s.ini"),
       "C:\\users\\joe\\AppData\\Roaming\\Acme\\s.ini", CaptureRecord::kLeftOut, "profile"},
      {"the 64-bit Program Files", Added("C", "Program Files/Acme/a.exe"), "C:\\Program Files\\Acme\\a.exe",
       CaptureRecord::kLeftOut, "other-view"},
      {"a link", Added("C", "Program Files (x86)/Acme/l", 'l'), "C:\\Program Files (x86)\\Acme\\l", CaptureRecord::kLeftOut,
       "not-a-file"},
      {"a name a stage refuses", Added("C", "Program Files (x86)/Acme/a|b"), "C:\\Program Files (x86)\\Acme\\a|b",
       CaptureRecord::kLeftOut, "name"},
      {"WININIT.INI", Added("C", "windows/wininit.ini"), "C:\\windows\\wininit.ini", CaptureRecord::kLeftOut, "scheduled"},
      {"the uninstaller", Added("C", "Program Files (x86)/Acme/Uninst.exe"), "C:\\Program Files (x86)\\Acme\\Uninst.exe",
       CaptureRecord::kNote, "uninstaller"},
      {"its data file", Added("C", "Program Files (x86)/Acme/uninst.dat"), "C:\\Program Files (x86)\\Acme\\uninst.dat",
       CaptureRecord::kNote, "uninstaller"},
      {"Windows Installer's cache", Added("C", "windows/Installer/1a2b.msi"), "C:\\windows\\Installer\\1a2b.msi",
       CaptureRecord::kNote, "windows-installer"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureFacts facts = Facts();
    facts.changes.files.push_back(row.change);
    StagePlan plan;
    CaptureReport report = BuildCaptureReport(facts, &plan);
    const CaptureRecord* record = Find(report, row.path);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->record, row.record);
    if (row.record == CaptureRecord::kCaptured) {
      EXPECT_EQ(record->stage, row.reasonOrStage);
      bool planned = !plan.folders.empty() ? plan.folders[0] == row.reasonOrStage : plan.files[0].first == row.reasonOrStage;
      EXPECT_TRUE(planned);
    } else {
      EXPECT_EQ(record->reason, row.reasonOrStage);
      EXPECT_TRUE(plan.files.empty() && plan.folders.empty());
    }
    EXPECT_EQ(report.leftOut, row.record == CaptureRecord::kLeftOut ? 1u : 0u);
    EXPECT_EQ(report.notes, row.record == CaptureRecord::kNote ? 1u : 0u);
  }
}

TEST(CaptureReportTest, ChangedAndDeletedFilesAreReportedWithWhatChanged) {
  CaptureFacts facts = Facts();
  FileChange changed;
  changed.where = {"C", "windows/win.ini"};
  changed.before = {'f', "", std::string(64, '1')};
  changed.after = {'f', "", std::string(64, '2')};
  facts.oldTexts[changed.where] = "[fonts]\r\n";
  facts.newTexts[changed.where] = "[fonts]\r\n[Acme]\r\nShown=1\r\n";
  FileChange deleted;
  deleted.where = {"C", "windows/twain.dll"};
  deleted.before = {'f', "", std::string(64, '3')};
  facts.changes.files = {deleted, changed};
  StagePlan plan;
  CaptureReport report = BuildCaptureReport(facts, &plan);
  const CaptureRecord* ini = Find(report, "C:\\windows\\win.ini");
  ASSERT_NE(ini, nullptr);
  EXPECT_EQ(ini->reason, "changed");
  EXPECT_EQ(ini->linesAdded, (std::vector<std::string>{"[Acme]", "Shown=1"}));
  EXPECT_TRUE(ini->linesRemoved.empty());
  EXPECT_EQ(ini->old, "sha256:" + std::string(64, '1'));
  EXPECT_EQ(ini->now, "sha256:" + std::string(64, '2'));
  const CaptureRecord* dll = Find(report, "C:\\windows\\twain.dll");
  ASSERT_NE(dll, nullptr);
  EXPECT_EQ(dll->reason, "deleted");
  EXPECT_EQ(report.leftOut, 2u);
  EXPECT_FALSE(report.Clean());
}

TEST(CaptureReportTest, RegistryValuesGoThroughTrysOwnChecks) {
  const std::string run = "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
  RegistryValue text{kRegString, std::string("x\0\0\0", 4)};
  const struct {
    const char* name;
    std::string key;
    std::string value;
    const char* shownKey;
    CaptureRecord::Record record;
    const char* reason;
  } rows[] = {
      {"a product's value", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme", "v", "HKEY_LOCAL_MACHINE\\Software\\Acme",
       CaptureRecord::kCaptured, ""},
      {"a value under Run", run + "Run", "Acme", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
       CaptureRecord::kCaptured, ""},
      {"RunOnce", run + "RunOnce", "Acme", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
       CaptureRecord::kLeftOut, "scheduled"},
      {"RunOnceEx", run + "RunOnceEx\\0001", "x", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\0001",
       CaptureRecord::kLeftOut, "scheduled"},
      {"RunServices", run + "RunServices", "x", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
       CaptureRecord::kLeftOut, "scheduled"},
      {"pending renames", "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager",
       "PendingFileRenameOperations", "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager",
       CaptureRecord::kLeftOut, "scheduled"},
      {"a service", "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Acme", "ImagePath",
       "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Acme", CaptureRecord::kLeftOut, "refused"},
      {"Wine's own", "HKEY_CURRENT_USER\\Software\\Wine\\Fonts", "x", "HKEY_CURRENT_USER\\Software\\Wine\\Fonts",
       CaptureRecord::kLeftOut, "refused"},
      {"a debugger", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", "Debugger",
       "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", CaptureRecord::kLeftOut, "refused"},
      {"a name with a line end", "HKEY_CURRENT_USER\\Software\\Acme", "a\nb", "HKEY_CURRENT_USER\\Software\\Acme",
       CaptureRecord::kLeftOut, "name"},
      {"Windows Installer's records", "HKEY_LOCAL_MACHINE\\Software\\Classes\\Installer\\Products\\1", "ProductName",
       "HKEY_CLASSES_ROOT\\Installer\\Products\\1", CaptureRecord::kNote, "windows-installer"},
      {"Windows Installer's own keys", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S", "x",
       "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S", CaptureRecord::kNote,
       "windows-installer"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureFacts facts = Facts();
    ValueChange change;
    change.key = row.key;
    change.name = row.value;
    change.after = true;
    change.now = text;
    facts.changes.values.push_back(change);
    StagePlan plan;
    CaptureReport report = BuildCaptureReport(facts, &plan);
    const CaptureRecord* record = Find(report, row.shownKey, row.value == "a\nb" ? "a\nb" : row.value);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->record, row.record);
    EXPECT_EQ(record->reason, row.reason);
    bool inFile = plan.registry.find("\"" + row.value + "\"=\"x\"") != std::string::npos;
    EXPECT_EQ(inFile, row.record == CaptureRecord::kCaptured);
    EXPECT_EQ(report.scheduled.size(), std::string(row.reason) == "scheduled" ? 1u : 0u);
  }
}

TEST(CaptureReportTest, TheUninstallKeyOfAnMsiPackageIsWindowsInstallers) {
  CaptureFacts facts = Facts();
  facts.installer = {InstallerKind::kMsi, 32};
  const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{C2A4}";
  facts.changes.keys.push_back({key, true});
  ValueChange flag;
  flag.key = key;
  flag.name = "WindowsInstaller";
  flag.after = true;
  flag.now = {kRegDword, std::string("\x01\0\0\0", 4)};
  ValueChange name = flag;
  name.name = "DisplayName";
  name.now = {kRegString, std::string("A\0\0\0", 4)};
  facts.changes.values = {name, flag};
  // Another product's Uninstall key, without the flag, stays the product's.
  const std::string own = "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme";
  facts.changes.keys.push_back({own, true});
  StagePlan plan;
  CaptureReport report = BuildCaptureReport(facts, &plan);
  EXPECT_EQ(report.notes, 3u);
  EXPECT_EQ(Find(report, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{C2A4}")->reason,
            "windows-installer");
  EXPECT_EQ(Find(report, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme")->record,
            CaptureRecord::kCaptured);
}

TEST(CaptureReportTest, ChangedAndDeletedValuesShowOldAndNew) {
  CaptureFacts facts = Facts();
  ValueChange changed;
  changed.key = "HKEY_CURRENT_USER\\Software\\Acme";
  changed.name = "Count";
  changed.before = changed.after = true;
  changed.old = {kRegDword, std::string("\x01\0\0\0", 4)};
  changed.now = {kRegDword, std::string("\x02\0\0\0", 4)};
  ValueChange deleted = changed;
  deleted.name = "Old";
  deleted.after = false;
  facts.changes.values = {changed, deleted};
  facts.changes.keys.push_back({"HKEY_CURRENT_USER\\Software\\Gone", false});
  StagePlan plan;
  CaptureReport report = BuildCaptureReport(facts, &plan);
  const CaptureRecord* count = Find(report, "HKEY_CURRENT_USER\\Software\\Acme", "Count");
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->reason, "changed");
  EXPECT_EQ(count->old, "dword:00000001");
  EXPECT_EQ(count->now, "dword:00000002");
  EXPECT_EQ(Find(report, "HKEY_CURRENT_USER\\Software\\Acme", "Old")->reason, "deleted");
  EXPECT_EQ(Find(report, "HKEY_CURRENT_USER\\Software\\Gone")->reason, "deleted");
  EXPECT_TRUE(plan.registry.empty());
}

TEST(CaptureReportTest, ShortcutsAllUsersByTheirMostAndTheOthersNamed) {
  const struct {
    const char* name;
    std::vector<FileChange> changes;
    bool allUsers;
    size_t others;
  } rows[] = {
      {"all users'", {Added("C", "ProgramData/Microsoft/Windows/Start Menu/Programs/Acme", 'd'),
                      Added("C", "ProgramData/Microsoft/Windows/Start Menu/Programs/Acme/A.lnk"),
                      Added("C", "users/Public/Desktop/A.lnk")}, true, 0},
      {"SendTo is the user's alone and counts for neither", {Added("C", "users/Public/Desktop/A.lnk"),
                      Added("C", "users/joe/AppData/Roaming/Microsoft/Windows/SendTo/A.lnk")}, true, 0},
      {"the user's own", {Added("HOME", "Desktop/A.lnk")}, false, 0},
      {"mixed: the fewer named", {Added("C", "ProgramData/Microsoft/Windows/Start Menu/Programs/Acme", 'd'),
                      Added("C", "ProgramData/Microsoft/Windows/Start Menu/Programs/Acme/A.lnk"),
                      Added("HOME", "Desktop/A.lnk")}, true, 1},
      {"as many of each: all users'", {Added("C", "users/Public/Desktop/A.lnk"), Added("HOME", "Desktop/B.lnk")}, true, 1},
      {"no shortcut", {Added("C", "Program Files (x86)/A/a.exe")}, false, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureFacts facts = Facts();
    facts.changes.files = row.changes;
    StagePlan plan;
    CaptureReport report = BuildCaptureReport(facts, &plan);
    EXPECT_EQ(report.allUsers, row.allUsers);
    EXPECT_EQ(report.otherUsersShortcuts.size(), row.others);
    EXPECT_EQ(plan.captureJson["allUsers"], row.allUsers);
  }
}

TEST(CaptureReportTest, OneNameForWindowsKeepsTheOneAllUsersNames) {
  CaptureFacts facts = Facts();
  facts.changes.files = {Added("HOME", "Desktop/Acme.lnk"), Added("C", "users/Public/Desktop/acme.lnk"),
                         Added("C", "ProgramData/Microsoft/Windows/Start Menu/Programs/Acme", 'd')};
  StagePlan plan;
  CaptureReport report = BuildCaptureReport(facts, &plan);
  EXPECT_TRUE(report.allUsers);
  EXPECT_EQ(Find(report, "C:\\users\\Public\\Desktop\\acme.lnk")->record, CaptureRecord::kCaptured);
  EXPECT_EQ(Find(report, "C:\\users\\joe\\Desktop\\Acme.lnk")->reason, "clash");
  ASSERT_EQ(plan.files.size(), 1u);
  EXPECT_EQ(plan.files[0].second.root, "C");
}

TEST(CaptureReportTest, TheRunsAccountRead) {
  const struct {
    const char* name;
    std::string account, control;
    int exit;
    bool timedOut, restart, fatal;
    size_t windows, outlived;
    bool writes;
  } rows[] = {
      {"clean", kOk, kOk, 0, false, false, false, 0, 0, true},
      {"an exit code", "exit: 2\n", kOk, 2, false, false, false, 0, 0, true},
      {"a restart refused", "restart: asked\nexit: 0\n", kOk, 0, false, true, false, 0, 0, true},
      {"a restart by the exit code", "exit: 3010\n", kOk, 3010, false, true, false, 0, 0, true},
      {"a wizard waiting", "window: Acme Setup | Welcome\nerror: timeout after 20 s (the program still ran)\n", kOk, -1,
       true, false, false, 1, 0, false},
      {"a process outliving it", "exit: 0\noutlived: acme.exe (process 40)\nerror: timeout after 20 s (processes of the "
       "program outlived it)\n", kOk, 0, false, false, false, 0, 1, true},
      {"Windows Installer's service is none of its processes", "exit: 0\noutlived: msiexec.exe (process 41)\n", kOk, 0,
       false, false, false, 0, 0, true},
      {"a server that had to be killed", "exit: 0\nerror: timeout: processes of the prefix still ran after 60 s (x); they were ended\n",
       kOk, 0, false, false, true, 0, 0, false},
      {"a runner that never started", "error: the runner did not start (exit 1)\n", kOk, -1, false, false, true, 0, 0, false},
      {"no end at all", "acp: 1252\n", kOk, -1, false, false, true, 0, 0, false},
      {"a control run that failed", kOk, "error: the runner did not start (exit 1)\n", 0, false, false, true, 0, 0, false},
      {"a program that crashed in the run", "exit: 0\nerror: a Windows program crashed: wine: Unhandled page fault\n", kOk,
       0, false, false, true, 0, 0, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureFacts facts = Facts();
    facts.account = row.account;
    facts.controlAccount = row.control;
    facts.changes.files = {Added("C", "Program Files (x86)/Acme", 'd'), Added("C", "Program Files (x86)/Acme/a.exe")};
    StagePlan plan;
    CaptureReport report = BuildCaptureReport(facts, &plan);
    EXPECT_EQ(report.installerExit, row.exit);
    EXPECT_EQ(report.timedOut, row.timedOut);
    EXPECT_EQ(report.restartAsked, row.restart);
    EXPECT_EQ(!report.fatal.empty(), row.fatal);
    EXPECT_EQ(report.windows.size(), row.windows);
    EXPECT_EQ(report.outlived.size(), row.outlived);
    EXPECT_EQ(report.writesStage, row.writes);
    EXPECT_EQ(report.silentSwitch != nullptr, row.timedOut);
    // Windows Installer's service outliving the package is no finding.
    EXPECT_EQ(report.Clean(), row.outlived == 0 && !row.timedOut && !row.restart && !row.fatal && row.exit == 0);
  }
}

TEST(CaptureReportTest, CapsStopTheStage) {
  const struct {
    const char* name;
    CaptureLimits limits;
    std::string scriptCap;
    const char* cap;
  } rows[] = {
      {"within", {3, 100, 3}, "", ""},
      {"files", {1, 100, 3}, "", "files"},
      {"bytes", {3, 10, 3}, "", "bytes"},
      {"keys", {3, 100, 1}, "", "keys"},
      {"capture.sh's own", {3, 100, 3}, "files 70000 50000", "files"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaptureFacts facts = Facts();
    facts.limits = row.limits;
    facts.scriptCap = row.scriptCap;
    facts.changes.files = {Added("C", "Program Files (x86)/Acme", 'd'), Added("C", "Program Files (x86)/Acme/a.exe")};
    facts.sizes[{"C", "Program Files (x86)/Acme/a.exe"}] = 50;
    facts.changes.keys.push_back({"HKEY_CURRENT_USER\\Software\\Acme", true});
    ValueChange value;
    value.key = "HKEY_CURRENT_USER\\Software\\Acme";
    value.name = "v";
    value.after = true;
    value.now = {kRegDword, std::string(4, '\0')};
    facts.changes.values.push_back(value);
    StagePlan plan;
    CaptureReport report = BuildCaptureReport(facts, &plan);
    EXPECT_EQ(report.cap, row.cap);
    EXPECT_EQ(report.writesStage, std::string(row.cap).empty());
    EXPECT_EQ(plan.files.empty(), !std::string(row.cap).empty());
  }
}

TEST(CaptureReportTest, ThePlanAndCaptureJson) {
  CaptureFacts facts = Facts();
  facts.arguments = "/S";
  facts.changes.files = {Added("C", "Program Files (x86)/Acme", 'd'), Added("C", "Program Files (x86)/Acme/a.exe"),
                         Added("C", "Program Files (x86)/Acme/uninst.exe")};
  facts.changes.keys.push_back({"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme", true});
  ValueChange value;
  value.key = "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme";
  value.name = "Size";
  value.after = true;
  value.now = {kRegQword, std::string(8, '\x01')};
  facts.changes.values.push_back(value);
  StagePlan plan;
  CaptureReport report = BuildCaptureReport(facts, &plan);
  EXPECT_EQ(plan.folders, std::vector<std::string>{"files/C/Program Files/Acme"});
  ASSERT_EQ(plan.files.size(), 1u);
  EXPECT_EQ(plan.files[0].first, "files/C/Program Files/Acme/a.exe");
  EXPECT_EQ(plan.registry, "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Acme]\r\n"
                           "\"Size\"=hex(b):01,01,01,01,01,01,01,01\r\n");
  EXPECT_EQ(report.installFolder.how, InstallFolderChoice::kUninstaller);
  EXPECT_EQ(plan.captureJson["installFolder"], "C:\\Program Files\\Acme");
  EXPECT_EQ(plan.captureJson["kind"], "nsis");
  EXPECT_EQ(plan.captureJson["arguments"], "/S");
  EXPECT_EQ(plan.captureJson["family"], "nt");
  EXPECT_TRUE(report.Clean());  // the uninstaller is a note, not a finding
}

TEST(CaptureReportTest, AnInstallFolderTryRefusesIsNone) {
  CaptureFacts facts = Facts();
  facts.changes.files = {Added("C", "windows/uninst.exe")};
  StagePlan plan;
  CaptureReport report = BuildCaptureReport(facts, &plan);
  EXPECT_EQ(report.installFolder.folder, "C:\\Windows");
  EXPECT_TRUE(report.installFolderProblem.empty());  // the name is fine; try finds the machine's folder itself
  facts.changes.files = {Added("C", "Program Files (x86)/a b./uninst.exe")};
  StagePlan second;
  report = BuildCaptureReport(facts, &second);
  EXPECT_FALSE(report.installFolderProblem.empty());
  EXPECT_FALSE(second.captureJson.contains("installFolder"));
  EXPECT_FALSE(report.Clean());
}

}  // namespace
}  // namespace uninstdat
