// try's comparison of the snapshots with what was staged and with the
// control run: each change of a run, and what it reports.
#include "tools/uninstdat/try/try_report.h"

#include <gtest/gtest.h>

#include "tests/unit/uninstdat/try/try_fixture.h"
#include "tools/uninstdat/try/try_render.h"

namespace uninstdat {
namespace {

// The report's findings as lines, from its JSON records.
std::vector<std::string> Findings(const FamilyReport& report) {
  std::vector<std::string> found;
  for (const TryRecord& record : report.records) {
    Json r = TryRecordJson(record, report.family);
    std::string kind = r["record"];
    if (kind == "box" || (kind == "restart" && !r["asked"].get<bool>())) continue;
    std::string text = kind + " " + r.value("path", "") + (r.contains("value") ? ";" + r["value"].get<std::string>() : "");
    if (kind == "restart") text = "restart " + r["deferred"].dump();
    if (kind == "error") text = "error " + r["what"].get<std::string>();
    if (r.contains("now")) text += " now " + r["now"].get<std::string>();
    if (r.contains("laidBy")) text += " [" + r["laidBy"].get<std::string>() + " taken by " + r.value("takenBy", "nothing") + "]";
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
      {"the staged key left; the vendor's key that holds it a note",
       [](TryRun& r) { r.after.registry = r.before.registry; },
       {"note HKEY_CURRENT_USER\\Software\\Co", "left HKEY_CURRENT_USER\\Software\\Co\\W",
        "left HKEY_CURRENT_USER\\Software\\Co\\W;v"}, 1},
      {"the vendor's key the stage made, left empty: a note, no fault",
       [](TryRun& r) { r.after.registry.insert({"HKEY_CURRENT_USER\\Software\\Co", "", false}); },
       {"note HKEY_CURRENT_USER\\Software\\Co"}, 0},
      {"the vendor's key the import made for the one key exported, left empty: a note",
       [](TryRun& r) {
         r.exported = {{"HKEY_CURRENT_USER\\Software\\Co\\W", "", false}};
         r.after.registry.insert({"HKEY_CURRENT_USER\\Software\\Co", "", false});
       },
       {"note HKEY_CURRENT_USER\\Software\\Co"}, 0},
      {"the product's key the import made for a key below it, left empty: a fault",
       [](TryRun& r) {
         r.exported = {{"HKEY_CURRENT_USER\\Software\\Co\\W\\Sub", "", false}};
         for (Snapshot* s : {&r.before, &r.control}) {
           s->registry.insert({"HKEY_CURRENT_USER\\Software\\Co\\W\\Sub", "", false});
           s->registry.erase({"HKEY_CURRENT_USER\\Software\\Co\\W", "v", true});
         }
         r.after.registry.insert({"HKEY_CURRENT_USER\\Software\\Co\\W", "", false});
         r.after.registry.insert({"HKEY_CURRENT_USER\\Software\\Co", "", false});
       },
       {"left-empty HKEY_CURRENT_USER\\Software\\Co\\W"}, 1},
      {"a vendor's value the export adds is the product's: left, it is a fault",
       [](TryRun& r) {
         r.exported.push_back({"HKEY_CURRENT_USER\\Software\\Co", "Shared", false});
         for (Snapshot* s : {&r.before, &r.control, &r.after}) s->registry.insert({"HKEY_CURRENT_USER\\Software\\Co", "Shared", true});
         r.after.registry.insert({"HKEY_CURRENT_USER\\Software\\Co", "", false});
       },
       {"note HKEY_CURRENT_USER\\Software\\Co", "left HKEY_CURRENT_USER\\Software\\Co;Shared"}, 1},
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
      {"the restart question answered with the files let go",
       [](TryRun& r) { r.runOutput = "box: W | Restart? | release:No\nexit: 0\n"; }, {"restart []"}, 1},
      {"another product's key below the vendor's key the stage made, deleted: a safety finding",
       [](TryRun& r) {
         for (Snapshot* s : {&r.before, &r.control}) s->registry.insert({"HKEY_CURRENT_USER\\Software\\Co\\Other", "", false});
       },
       {"removed-unstaged HKEY_CURRENT_USER\\Software\\Co\\Other"}, 1},
      {"a product's key below a key of the fresh machine's shape, left: a fault",
       [](TryRun& r) {
         const char* own = "HKEY_CURRENT_USER\\Software\\Wine\\Widget";
         r.exported.push_back({own, "", false});
         for (Snapshot* s : {&r.before, &r.control, &r.after}) s->registry.insert({own, "", false});
       },
       {"left HKEY_CURRENT_USER\\Software\\Wine\\Widget"}, 1},
      {"a product's verb below a file type of Windows, left: a fault",
       [](TryRun& r) {
         const char* verb = "HKEY_LOCAL_MACHINE\\Software\\Classes\\txtfile\\shell\\Widget";
         r.exported.push_back({"HKEY_CLASSES_ROOT\\txtfile\\shell\\Widget", "", false});
         for (Snapshot* s : {&r.before, &r.control, &r.after}) s->registry.insert({verb, "", false});
       },
       {"left HKEY_LOCAL_MACHINE\\Software\\Classes\\txtfile\\shell\\Widget"}, 1},
      {"an entry that matches nothing staged is only a hint",
       [](TryRun& r) { r.listed = {{0, "C:\\App\\a.txt"}, {1, "C:\\App\\made-at-run-time.log"}}; },
       {"unmatched C:\\App\\made-at-run-time.log"}, 0},
      {"the runner's error", [](TryRun& r) { r.runOutput = "error: timeout, 1 boxes answered\n"; },
       {"error the run: timeout, 1 boxes answered"}, 1},
      {"a folder the stage made above the install folder, left empty: a note, no fault",
       [](TryRun& r) {
         r.installFolder.windowsPath = "C:\\V\\App";
         r.staged.push_back({"C:\\V", {"C", "V"}, true, false});
         for (Snapshot* s : {&r.before, &r.control, &r.after}) s->files[{"C", "V"}] = {'d', ""};
       },
       {"note C:\\V"}, 0},
      {"the same folder holding another product's: a note still",
       [](TryRun& r) {
         r.installFolder.windowsPath = "C:\\V\\App";
         r.staged.push_back({"C:\\V", {"C", "V"}, true, false});
         for (Snapshot* s : {&r.before, &r.control, &r.after}) s->files[{"C", "V"}] = {'d', ""}, s->files[{"C", "V/Other"}] = {'d', ""};
       },
       {"note C:\\V"}, 0},
      {"a folder the stage made above the program group, left: a note",
       [](TryRun& r) {
         r.programGroup = "C:\\P\\Acme\\Notes";
         r.staged.push_back({"C:\\P\\Acme", {"C", "P/Acme"}, true, false});
         for (Snapshot* s : {&r.before, &r.control, &r.after}) s->files[{"C", "P/Acme"}] = {'d', ""};
       },
       {"note C:\\P\\Acme"}, 0},
      {"a staged folder beside the product's, left: a fault",
       [](TryRun& r) {
         r.staged.push_back({"C:\\V", {"C", "V"}, true, false});
         for (Snapshot* s : {&r.before, &r.control, &r.after}) s->files[{"C", "V"}] = {'d', ""};
       },
       {"left C:\\V"}, 1},
      {"a canary file taken by a pattern: the safety finding names the entry",
       [](TryRun& r) {
         Placed canary{"C:\\windows\\wdgt_other.dll", {"C", "windows/wdgt_other.dll"}, false, false};
         r.mustStay = {{"file", canary, std::nullopt}};
         r.takers = {{RunTaker::kPath, "removalEntries[0] \"a.txt\"", "C:\\App\\a.txt", "", ""},
                     {RunTaker::kPath, "removalEntries[2] \"<Win>\\wdgt*.dll\"", "C:\\windows\\WDGT*.DLL", "", ""}};
         for (Snapshot* s : {&r.before, &r.control}) s->files[canary.location] = {'f', ""};
       },
       {"removed-unstaged C:\\windows\\wdgt_other.dll [file taken by removalEntries[2] \"<Win>\\wdgt*.dll\"]"}, 1},
      {"a canary shortcut taken with the program group's folder",
       [](TryRun& r) {
         Placed canary{"C:\\P\\Acme\\Another Product\\a.lnk", {"C", "P/Acme/Another Product/a.lnk"}, false, false};
         r.mustStay = {{"vendor", canary, std::nullopt}};
         r.takers = {{RunTaker::kTree, "programGroup \"Acme\"", "C:\\P\\Acme", "", ""}};
         for (Snapshot* s : {&r.before, &r.control}) s->files[canary.location] = {'f', ""};
       },
       {"removed-unstaged C:\\P\\Acme\\Another Product\\a.lnk [vendor taken by programGroup \"Acme\"]"}, 1},
      {"a canary key below an exported whole key is never staged: taken by the whole key",
       [](TryRun& r) {
         const char* other = "HKEY_CURRENT_USER\\Software\\Co\\W\\Other";
         r.mustStay = {{"vendor", std::nullopt, RegistryItem{other, "", false}},
                       {"vendor", std::nullopt, RegistryItem{other, "Version", false}}};
         r.takers = {{RunTaker::kKey, "registryList \"HKEY_CURRENT_USER\\Software\\Co\\W;\"", "", "HKEY_CURRENT_USER\\Software\\Co\\W", ""}};
         for (Snapshot* s : {&r.before, &r.control}) s->registry.insert({other, "", false}), s->registry.insert({other, "Version", true});
       },
       {"removed-unstaged HKEY_CURRENT_USER\\Software\\Co\\W\\Other [vendor taken by registryList \"HKEY_CURRENT_USER\\Software\\Co\\W;\"]",
        "removed-unstaged HKEY_CURRENT_USER\\Software\\Co\\W\\Other;Version [vendor taken by registryList \"HKEY_CURRENT_USER\\Software\\Co\\W;\"]"}, 1},
      {"an --also value taken by a value entry of the same name in any case",
       [](TryRun& r) {
         r.mustStay = {{"--also", std::nullopt, RegistryItem{"HKEY_CURRENT_USER\\Software\\Wine", "x", false}}};
         r.takers = {{RunTaker::kValue, "registryList \"HKEY_CURRENT_USER\\SOFTWARE\\WINE;X\"", "", "HKEY_CURRENT_USER\\SOFTWARE\\WINE", "X"}};
         r.after.registry.erase({"HKEY_CURRENT_USER\\Software\\Wine", "x", true});
       },
       {"removed-unstaged HKEY_CURRENT_USER\\Software\\Wine;x [--also taken by registryList \"HKEY_CURRENT_USER\\SOFTWARE\\WINE;X\"]"}, 1},
      {"a run whose end the runner never reported is no clean run, and names its last box",
       [](TryRun& r) { r.runOutput = "acp: 1252\r\nbox: W | Remove? | OK\r\n"; },
       {"error the run: the runner did not report the uninstaller's end (the last box: W | Remove? | OK)"}, 1},
      {"a timeout names what still ran",
       [](TryRun& r) {
         r.runOutput = "box: W | Remove? | OK\nerror: timeout after 5 s: 1 boxes answered\n"
                       "running: uninst.exe (process 32, started by 8)\n";
       },
       {"error the run: timeout after 5 s: 1 boxes answered",
        "error the run: still running then: uninst.exe (process 32, started by 8)"}, 1},
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
    EXPECT_EQ(report.Clean(), row.exit == 0);
    EXPECT_NO_THROW(TryReportJsonLines(report, row.exit));  // every text is UTF-8
  }
}

}  // namespace
}  // namespace uninstdat
