// try's pure parts: the stage laid out as each family sees it, snapshots
// that no name can forge, and the report's comparison with the control run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/try.h"
#include "tools/uninstdat/try_report.h"
#include "tools/uninstdat/wine_prefix.h"

namespace uninstdat {
namespace {

namespace fs = std::filesystem;

std::string Records(std::initializer_list<std::string> fields) {
  std::string bytes;
  for (const std::string& field : fields) bytes += field + '\0';
  return bytes;
}

TEST(TryReportTest, SnapshotRecordsCannotBeForgedByNames) {
  // A name holding a line end and what looks like another record stays one
  // name; a record cut short is refused.
  std::string bytes = Records({"C", "f", "a\nd windows\\win.ini", "", "C", "d", "windows", "", "HOME", "l",
                               "Desktop", "/sandbox/home/Desktop"});
  FileSnapshot snapshot;
  ASSERT_TRUE(ReadFileSnapshot(bytes, &snapshot));
  ASSERT_EQ(snapshot.size(), 3u);
  EXPECT_EQ(snapshot.count({"C", "a\nd windows\\win.ini"}), 1u);
  EXPECT_EQ(snapshot.at({"HOME", "Desktop"}).target, "/sandbox/home/Desktop");
  EXPECT_FALSE(ReadFileSnapshot(bytes.substr(0, bytes.size() - 1), &snapshot));
}

TEST(TryReportTest, WineHiveNamesAreReadAsWineWritesThem) {
  const struct {
    const char* name;
    const char* line;  // after a key line [Software\\W] 1
    RegistryName expected;
  } rows[] = {
      {"key with ancestors", "[Software\\\\W\\\\Deep\\\\Er] 1", {"HKEY_CURRENT_USER\\Software\\W\\Deep", "", false}},
      {"bracket in a key", "[Software\\\\a\\]b] 1", {"HKEY_CURRENT_USER\\Software\\a]b", "", false}},
      {"quote in a value", "\"a\\\"b\"=\"x\"", {"HKEY_CURRENT_USER\\Software\\W", "a\"b", true}},
      {"line end in a value", "\"a\\nb\"=dword:00000001", {"HKEY_CURRENT_USER\\Software\\W", "a\nb", true}},
      {"hex character", "\"caf\\xe9\"=\"\"", {"HKEY_CURRENT_USER\\Software\\W", "caf\xC3\xA9", true}},
      {"four hex digits before a hex digit", "\"\\x00e9e\"=\"\"", {"HKEY_CURRENT_USER\\Software\\W", "\xC3\xA9" "e", true}},
      {"a pair of surrogates", "\"\\xd83d\\xde00\"=\"\"", {"HKEY_CURRENT_USER\\Software\\W", "\xF0\x9F\x98\x80", true}},
      {"default value", "@=\"x\"", {"HKEY_CURRENT_USER\\Software\\W", "@", true}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RegistrySnapshot snapshot;
    ReadWineHive(std::string("WINE REGISTRY Version 2\n\n[Software\\\\W] 1\n#time=1\n") + row.line + "\n",
                 "HKEY_CURRENT_USER", &snapshot);
    EXPECT_EQ(snapshot.count(row.expected), 1u);
    EXPECT_EQ(snapshot.count({"HKEY_CURRENT_USER\\Software", "", false}), 1u);  // never written, still there
    EXPECT_EQ(snapshot.count({"HKEY_CURRENT_USER", "", false}), 0u);            // the root is no item
  }
}

// A small prefix: the install folder C:\App with the uninstaller, a staged
// file and folder, a machine file, HOME's Desktop through its link, and a
// registry key the export made inside a parent it created.
struct RunFixture {
  TryRun run;
  TargetCodePage page{1252};
  RunFixture() {
    run.family = "nt";
    run.page = &page;
    run.installFolder = {"C:\\App", {"C", "App"}, true, false};
    run.uninstaller = {"C:\\App\\uninst.exe", {"C", "App/uninst.exe"}, false, false};
    run.dataFile = {"C:\\App\\uninst.dat", {"C", "App/uninst.dat"}, false, false};
    run.staged = {{"C:\\App\\a.txt", {"C", "App/a.txt"}, false, false},
                  {"C:\\App\\data", {"C", "App/data"}, true, false},
                  {"C:\\users\\u\\Desktop\\x.lnk", {"HOME", "Desktop/x.lnk"}, false, false},
                  {"C:\\windows", {"C", "windows"}, true, true}};
    for (Snapshot* s : {&run.before, &run.control}) {
      s->files = {{{"C", "App"}, {'d', ""}},           {{"C", "App/uninst.exe"}, {'f', ""}},
                  {{"C", "App/uninst.dat"}, {'f', ""}}, {{"C", "App/a.txt"}, {'f', ""}},
                  {{"C", "App/data"}, {'d', ""}},       {{"C", "windows"}, {'d', ""}},
                  {{"C", "windows/win.ini"}, {'f', ""}}, {{"C", "users/u/Desktop"}, {'l', "/sandbox/home/Desktop"}},
                  {{"HOME", "Desktop"}, {'d', ""}},     {{"HOME", "Desktop/x.lnk"}, {'f', ""}},
                  {{"HOME", "Desktop/mine.lnk"}, {'f', ""}}};
      s->registry = {{"HKEY_CURRENT_USER\\Software", "", false},
                     {"HKEY_CURRENT_USER\\Software\\Co", "", false},
                     {"HKEY_CURRENT_USER\\Software\\Co\\W", "", false},
                     {"HKEY_CURRENT_USER\\Software\\Co\\W", "v", true},
                     {"HKEY_CURRENT_USER\\Software\\Wine", "", false},
                     {"HKEY_CURRENT_USER\\Software\\Wine", "x", true}};
    }
    run.pristine = {{"HKEY_CURRENT_USER\\Software", "", false},
                    {"HKEY_CURRENT_USER\\Software\\Wine", "", false},
                    {"HKEY_CURRENT_USER\\Software\\Wine", "x", true}};
    run.exported = {{"HKEY_CURRENT_USER\\Software\\Co", "", false}};
    // A clean run: everything staged and the uninstaller gone.
    run.after = run.before;
    for (const char* path : {"App", "App/uninst.exe", "App/uninst.dat", "App/a.txt", "App/data"})
      run.after.files.erase({"C", path});
    run.after.files.erase({"HOME", "Desktop/x.lnk"});
    run.after.registry.erase({"HKEY_CURRENT_USER\\Software\\Co\\W", "", false});
    run.after.registry.erase({"HKEY_CURRENT_USER\\Software\\Co\\W", "v", true});
    run.after.registry.erase({"HKEY_CURRENT_USER\\Software\\Co", "", false});
    run.runOutput = "acp: 1252\r\nbox: W | Remove? | OK\r\nexit: 0\r\n";
  }
};

std::vector<std::string> Findings(const FamilyReport& report) {
  std::vector<std::string> found;
  for (const Json& r : report.records) {
    std::string record = r["record"];
    if (record == "box" || record == "summary" || (record == "restart" && !r["asked"].get<bool>())) continue;
    std::string text = record + " " + r.value("path", "") + (r.contains("value") ? ";" + r["value"].get<std::string>() : "");
    if (record == "restart") text = "restart " + r["deferred"].dump();
    if (record == "error") text = "error " + r["what"].get<std::string>();
    if (r.contains("now")) text += " now " + r["now"].get<std::string>();
    found.push_back(text);
  }
  return found;
}

TEST(TryReportTest, ComparesTheRunWithWhatWasStagedAndWithTheControlRun) {
  const struct {
    const char* name;
    void (*change)(TryRun&);
    std::vector<std::string> findings;
    int exit;
  } rows[] = {
      {"clean", [](TryRun&) {}, {}, 0},
      {"a staged file left", [](TryRun& r) { r.after.files[{"C", "App/a.txt"}] = {'f', ""}; },
       {"left C:\\App\\a.txt"}, 1},
      {"a staged shortcut left in HOME, named through the Desktop link",
       [](TryRun& r) { r.after.files[{"HOME", "Desktop/x.lnk"}] = {'f', ""}; },
       {"left C:\\users\\u\\Desktop\\x.lnk"}, 1},
      {"the uninstaller and its folder left",
       [](TryRun& r) { r.after.files[{"C", "App"}] = {'d', ""}, r.after.files[{"C", "App/uninst.exe"}] = {'f', ""}; },
       {"uninstaller-left C:\\App\\uninst.exe", "uninstaller-left C:\\App"}, 1},
      {"a machine file deleted", [](TryRun& r) { r.after.files.erase({"C", "windows/win.ini"}); },
       {"removed-unstaged C:\\windows\\win.ini"}, 1},
      {"a user's file in HOME deleted", [](TryRun& r) { r.after.files.erase({"HOME", "Desktop/mine.lnk"}); },
       {"removed-unstaged C:\\users\\u\\Desktop\\mine.lnk"}, 1},
      {"Wine's churn: the control run deleted the same file",
       [](TryRun& r) { r.after.files.erase({"C", "windows/win.ini"}), r.control.files.erase({"C", "windows/win.ini"}); },
       {}, 0},
      {"churn of a folder does not cover what it held",
       [](TryRun& r) {
         r.after.files.erase({"HOME", "Desktop"}), r.after.files.erase({"HOME", "Desktop/mine.lnk"});
         r.control.files.erase({"HOME", "Desktop"});
       },
       {"removed-unstaged C:\\users\\u\\Desktop\\mine.lnk"}, 1},
      {"a link led elsewhere, not as in the control run",
       [](TryRun& r) { r.after.files[{"C", "users/u/Desktop"}] = {'l', "/"}; r.control.files[{"C", "users/u/Desktop"}] = {'l', "/x"}; },
       {"removed-unstaged C:\\users\\u\\Desktop now link"}, 1},
      {"a machine value deleted", [](TryRun& r) { r.after.registry.erase({"HKEY_CURRENT_USER\\Software\\Wine", "x", true}); },
       {"removed-unstaged HKEY_CURRENT_USER\\Software\\Wine;x"}, 1},
      {"Wine's churn in the registry",
       [](TryRun& r) {
         r.after.registry.erase({"HKEY_CURRENT_USER\\Software\\Wine", "x", true});
         r.control.registry.erase({"HKEY_CURRENT_USER\\Software\\Wine", "x", true});
       },
       {}, 0},
      {"the staged key left", [](TryRun& r) { r.after.registry = r.before.registry; },
       {"left HKEY_CURRENT_USER\\Software\\Co", "left HKEY_CURRENT_USER\\Software\\Co\\W",
        "left HKEY_CURRENT_USER\\Software\\Co\\W;v"}, 1},
      {"the parent the import made for the one key exported, left empty",
       [](TryRun& r) {
         r.exported = {{"HKEY_CURRENT_USER\\Software\\Co\\W", "", false}};
         r.after.registry.insert({"HKEY_CURRENT_USER\\Software\\Co", "", false});
       },
       {"left-empty HKEY_CURRENT_USER\\Software\\Co"}, 1},
      {"the shared Run key the import made is nobody's: neither left nor left empty",
       [](TryRun& r) {
         const std::string run = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
         r.exported.push_back({run, "", false});
         r.exported.push_back({run, "W", false});
         for (Snapshot* s : {&r.before, &r.after, &r.control}) s->registry.insert({run, "", false});
         r.before.registry.insert({run, "W", true});
         r.control.registry.insert({run, "W", true});
       },
       {}, 0},
      {"the restart question, and what was deferred",
       [](TryRun& r) { r.runOutput = "box: W | Restart? | No\ndeferred: C:\\App\\a.txt\nexit: 0\n"; },
       {"restart [\"C:\\\\App\\\\a.txt\"]"}, 1},
      {"an entry that matches nothing staged is only a hint",
       [](TryRun& r) { r.listed = {{0, "C:\\App\\a.txt"}, {1, "C:\\App\\made-at-run-time.log"}}; },
       {"unmatched C:\\App\\made-at-run-time.log"}, 0},
      {"the runner's error", [](TryRun& r) { r.runOutput = "error: timeout, 1 boxes answered\n"; },
       {"error the run: timeout, 1 boxes answered"}, 1},
      {"a wait that timed out in the control run",
       [](TryRun& r) { r.controlOutput = "error: timeout: processes of the prefix still ran after 5 s; they were ended\n"; },
       {"error the control run: timeout: processes of the prefix still ran after 5 s; they were ended"}, 1},
      {"a name that is no UTF-8", [](TryRun& r) {
         r.before.files[{"C", "caf\xE9"}] = r.control.files[{"C", "caf\xE9"}] = {'f', ""};
       },
       {"removed-unstaged C:\\caf<xE9>"}, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RunFixture fixture;
    row.change(fixture.run);
    FamilyReport report = CompareRun(fixture.run);
    EXPECT_EQ(Findings(report), row.findings);
    EXPECT_EQ(report.exit, row.exit);
    EXPECT_EQ(report.records.back()["record"], "summary");
    for (const Json& r : report.records) EXPECT_EQ(r["family"], "nt");
    EXPECT_NO_THROW(for (const Json& r : report.records) r.dump());  // every text is UTF-8
  }
}

TEST(TryReportTest, JUnitHasOneCasePerFamilyAndOneFailurePerFinding) {
  RunFixture clean, dirty;
  dirty.run.family = "98";
  dirty.run.after.files[{"C", "App/a.txt"}] = {'f', ""};
  dirty.run.after.files.erase({"C", "windows/win.ini"});
  dirty.run.runOutput = "box: W & <Co> | \"Restart?\" | Yes\nexit: 0\n";
  std::string xml = JUnitXml({CompareRun(clean.run), CompareRun(dirty.run)});
  EXPECT_NE(xml.find("<testsuite name=\"uninstdat try\" tests=\"2\" failures=\"3\">"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<testcase classname=\"uninstdat.try\" name=\"nt\">\n  </testcase>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("message=\"staged and still there: file C:\\App\\a.txt\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("type=\"removed-unstaged\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("type=\"restart\""), std::string::npos) << xml;
}

TEST(WinePrefixTest, MapsTheStagesViewToWhereEachFamilyAndBuildFindIt) {
  const struct {
    int family;
    bool wow64;
    const char* path;
    const char* mapped;
  } rows[] = {
      {3, true, "C:\\Windows\\System32\\w.dll", "C:\\windows\\syswow64\\w.dll"},
      {3, false, "c:\\WINDOWS\\system32\\w.dll", "C:\\windows\\system32\\w.dll"},
      {2, true, "C:\\Windows\\System32\\w.dll", "C:\\windows\\system\\w.dll"},
      {1, false, "C:\\Windows\\System32", "C:\\windows\\system"},
      {3, true, "C:\\Program Files\\Widget\\a", "C:\\Program Files (x86)\\Widget\\a"},
      {1, true, "C:\\program files", "C:\\Program Files (x86)"},
      {3, false, "C:\\Program Files\\Widget", "C:\\Program Files\\Widget"},
      {3, true, "C:\\Program Files (x86)\\W", "C:\\Program Files (x86)\\W"},
      {3, true, "C:\\Windows\\System32x\\a", "C:\\Windows\\System32x\\a"},
      {3, true, "D:\\Windows\\System32\\a", "D:\\Windows\\System32\\a"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    WineView view;
    view.family = row.family;
    view.wow64 = row.wow64;
    EXPECT_EQ(MapStagePath(view, row.path), row.mapped);
  }
  WineView view;
  EXPECT_EQ(OnDiskPath(view, "C:\\WINDOWS\\System32\\w.dll"), "C:\\windows\\syswow64\\w.dll");
  view.wow64 = false;
  EXPECT_EQ(OnDiskPath(view, "C:\\WINDOWS\\System32\\w.dll"), "C:\\WINDOWS\\System32\\w.dll");
}

class PrefixLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = ::testing::TempDir() + "/uninstdat-layout-" + std::to_string(getpid());
    fs::remove_all(root_);
    for (const char* folder : {"lower/prefix/drive_c/windows/system", "lower/prefix/drive_c/users/u/AppData/Roaming/"
                               "Microsoft/Windows/Start Menu/Programs/StartUp", "lower/prefix/dosdevices",
                               "lower/home/Desktop", "layer/prefix", "layer/home", "stage"})
      fs::create_directories(root_ + "/" + folder);
    std::ofstream(root_ + "/lower/prefix/drive_c/windows/win.ini") << "[windows]";
    fs::create_symlink("/sandbox/home/Desktop", root_ + "/lower/prefix/drive_c/users/u/Desktop");
    fs::create_symlink("/etc", root_ + "/lower/prefix/drive_c/users/u/Escape");
    fs::create_symlink("../drive_c", root_ + "/lower/prefix/dosdevices/c:");
    fs::create_symlink("/", root_ + "/lower/prefix/dosdevices/z:");
    std::ofstream(root_ + "/stage/source") << "bytes";
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string root_;
};

TEST_F(PrefixLayoutTest, PlacesNewThingsOnThePristineNamesAndRefusesToReplace) {
  const struct {
    const char* path;
    bool folder;
    const char* where;  // root:path where it lies
    bool existed;
    const char* error;  // or the error's words
  } rows[] = {
      {"C:\\WINDOWS", true, "C:windows", true, nullptr},
      {"C:\\WINDOWS\\widget.ini", false, "C:windows/widget.ini", false, nullptr},
      {"C:\\Windows\\SYSTEM\\w.dll", false, "C:windows/system/w.dll", false, nullptr},
      {"C:\\users\\U\\desktop\\Widget.lnk", false, "HOME:Desktop/Widget.lnk", false, nullptr},
      {"C:\\users\\u\\Desktop\\New\\a.lnk", false, "HOME:Desktop/New/a.lnk", false, nullptr},
      {"C:\\users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\Tray.lnk", false,
       "C:users/u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp/Tray.lnk", false, nullptr},
      {"D:\\Shared\\y.txt", false, "D:Shared/y.txt", false, nullptr},
      {"Z:\\z.txt", false, "Z:z.txt", false, nullptr},
      {"C:\\windows\\WIN.INI", false, "", false, "would replace a file of the machine itself"},
      {"C:\\windows\\win.ini\\x", false, "", false, "a file lies where the stage has a folder"},
      {"C:\\windows\\system", false, "", false, "a folder is there"},
      {"C:\\Windows\\WinInit.ini", false, "", false, "Wine carries out WININIT.INI"},
      {"C:\\users\\u\\Escape\\passwd", false, "", false, "leads outside the prefix and HOME"},
      {"C:\\a\\..\\windows\\x", false, "", false, "\".\" or \"..\""},
  };
  PrefixLayout layout(root_ + "/lower/prefix", root_ + "/lower/home", root_ + "/layer/prefix", root_ + "/layer/home");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    Placed placed;
    std::string error;
    bool ok = layout.Place(row.path, row.folder ? "" : root_ + "/stage/source", false, &placed, &error);
    if (row.error) {
      EXPECT_FALSE(ok);
      EXPECT_NE(error.find(row.error), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(placed.location.root + ":" + placed.location.path, row.where);
    EXPECT_EQ(placed.existed, row.existed);
  }
  // The files went into the layer, HOME's into HOME's layer, nothing into
  // the pristine prefix; a Startup item is laid out empty; the new drives
  // have their links.
  EXPECT_TRUE(fs::exists(root_ + "/layer/prefix/drive_c/windows/widget.ini"));
  EXPECT_TRUE(fs::exists(root_ + "/layer/home/Desktop/Widget.lnk"));
  EXPECT_FALSE(fs::exists(root_ + "/lower/prefix/drive_c/windows/widget.ini"));
  EXPECT_EQ(fs::file_size(root_ + "/layer/prefix/drive_c/users/u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/"
                                  "StartUp/Tray.lnk"), 0u);
  EXPECT_EQ(fs::file_size(root_ + "/layer/prefix/drive_c/windows/widget.ini"), 5u);
  EXPECT_EQ(fs::read_symlink(root_ + "/layer/prefix/dosdevices/d:"), "../drive_d");
  EXPECT_EQ(fs::read_symlink(root_ + "/layer/prefix/dosdevices/z:"), "../drive_z");
}

TEST(TryTest, InstallFolderMustBeAFolderBelowC) {
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

}  // namespace
}  // namespace uninstdat
