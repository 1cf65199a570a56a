// The canaries try lays beside a stage: each kind where the stage calls for
// it, never inside what a sound data file removes, never what a stage may
// not hold.
#include "tools/uninstdat/try/canaries.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace uninstdat {
namespace {

const char kRun[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstall[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The pristine prefix's verb of text files, as Wine's hive names it.
const RegistrySnapshot kPristine = {{"HKEY_LOCAL_MACHINE\\Software\\Classes\\txtfile\\shell\\open", "", false},
                                    {"HKEY_LOCAL_MACHINE\\Software\\Classes\\txtfile\\shell\\open\\command", "", false}};
const char kPrograms[] = "C:\\users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";

// A stage in C:\Program Files (x86)\Widget, as the NT family's 32-bit
// build sees it: a program, and the folders it passes through.
CanaryStage Stage() {
  CanaryStage stage;
  stage.view.user = "u";
  stage.installFolder = "C:\\Program Files (x86)\\Widget";
  stage.staged = {{"C:\\Program Files (x86)", {"C", "Program Files (x86)"}, true, true},
                  {"C:\\Program Files (x86)\\Widget", {"C", "Program Files (x86)/Widget"}, true, false},
                  {"C:\\Program Files (x86)\\Widget\\widget.exe", {"C", "Program Files (x86)/Widget/widget.exe"}, false, false}};
  return stage;
}

// "KIND PATH" of each file, "KIND KEY;VALUE" of each value, sorted.
std::vector<std::string> Canaries(const CanaryStage& stage) {
  CanaryPlan plan = PlanCanaries(stage);
  std::vector<std::string> found;
  for (const CanaryItem& item : plan.items)
    if (item.kind != CanaryKind::kShortcut) found.push_back(std::string(CanaryKindName(item.kind)) + " " + item.windowsPath);
  for (const CanaryValue& v : plan.registry) found.push_back(std::string(CanaryKindName(v.kind)) + " " + v.key + ";" + v.value);
  std::sort(found.begin(), found.end());
  return found;
}

TEST(CanariesTest, EachKindWhereTheStageCallsForIt) {
  const struct {
    const char* name;
    void (*change)(CanaryStage&);
    std::vector<std::string> canaries;  // besides the shortcuts, which every stage gets
  } rows[] = {
      {"a product in a folder of its own, nothing beside it", [](CanaryStage&) {}, {}},
      {"a vendor's key the export makes: another product's key below it",
       [](CanaryStage& s) {
         s.exported = {{"HKEY_CURRENT_USER\\Software\\Acme", "", false}, {"HKEY_CURRENT_USER\\Software\\Acme\\Notes", "", false}};
       },
       {"value HKEY_CURRENT_USER\\Software\\Another Program;DisplayName",
        "vendor HKEY_CURRENT_USER\\Software\\Acme\\Another Product;Version"}},
      {"a vendor's key with values of its own gets none: its values are listed",
       [](CanaryStage& s) {
         s.exported = {{"HKEY_CURRENT_USER\\Software\\Acme", "", false}, {"HKEY_CURRENT_USER\\Software\\Acme", "Shared", false}};
       },
       {"value HKEY_CURRENT_USER\\Software\\Another Program;DisplayName"}},
      {"a value in the Run key and in Fonts: another program's beside each",
       [](CanaryStage& s) {
         s.exported = {{kRun, "Widget", false},
                       {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Widget Sans", false}};
       },
       {std::string("value ") + kRun + ";Another Program",
        "value HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts;Another Program"}},
      {"an uninstall key: another program's beside it",
       [](CanaryStage& s) { s.exported = {{std::string(kUninstall) + "\\Widget", "", false}}; },
       {std::string("value ") + kUninstall + "\\Another Program;DisplayName"}},
      {"a key of the product's own below a root, a file type: nothing beside it (the root is Windows')",
       [](CanaryStage& s) { s.exported = {{"HKEY_CLASSES_ROOT\\.wdg", "", false}, {"HKEY_CLASSES_ROOT\\.wdg", "x", false}}; },
       {}},
      // Below HKEY_CLASSES_ROOT the fresh machine's list stops two levels
      // down; deeper, the pristine prefix says which keys are Windows'.
      {"a value on a verb the machine has: another program's beside it",
       [](CanaryStage& s) {
         s.pristine = &kPristine;
         s.exported = {{"HKEY_CLASSES_ROOT\\txtfile\\shell\\open\\command", "", true}};
       },
       {"value HKEY_CLASSES_ROOT\\txtfile\\shell\\open\\command;Another Program"}},
      {"a key below a verb the machine has: another program's key beside it",
       [](CanaryStage& s) {
         s.pristine = &kPristine;
         s.exported = {{"HKEY_CLASSES_ROOT\\txtfile\\shell\\open\\ddeexec", "", false}};
       },
       {"value HKEY_CLASSES_ROOT\\txtfile\\shell\\open\\Another Program;DisplayName"}},
      {"a verb of the product's own: another program's verb beside it, nothing inside it",
       [](CanaryStage& s) {
         s.pristine = &kPristine;
         s.exported = {{"HKEY_CLASSES_ROOT\\txtfile\\shell\\Widget", "", false},
                       {"HKEY_CLASSES_ROOT\\txtfile\\shell\\Widget\\command", "", false},
                       {"HKEY_CLASSES_ROOT\\txtfile\\shell\\Widget\\command", "", true}};
       },
       {"value HKEY_CLASSES_ROOT\\txtfile\\shell\\Another Program;DisplayName"}},
      {"a verb the pristine prefix lacks is nobody else's: nothing beside its value",
       [](CanaryStage& s) { s.exported = {{"HKEY_CLASSES_ROOT\\txtfile\\shell\\open\\command", "", true}}; },
       {}},
      {"a service: nothing a stage may not hold",
       [](CanaryStage& s) {
         s.exported = {{"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WidgetSvc", "", false}};
       },
       {}},
      {"a file in the system folder: another beside it that a wildcard of its name takes too; none in the product's",
       [](CanaryStage& s) {
         s.staged.push_back({"C:\\windows", {"C", "windows"}, true, true});
         s.staged.push_back({"C:\\windows\\syswow64", {"C", "windows/syswow64"}, true, true});
         s.staged.push_back({"C:\\windows\\syswow64\\wdgt.dll", {"C", "windows/syswow64/wdgt.dll"}, false, false});
         s.staged.push_back({"C:\\windows\\README", {"C", "windows/README"}, false, false});
       },
       {"file C:\\windows\\README_other", "file C:\\windows\\syswow64\\wdgt_other.dll"}},
      {"an install folder in a vendor's folder the stage makes: another product beside it",
       [](CanaryStage& s) {
         s.installFolder = "C:\\Program Files (x86)\\Acme\\Notes";
         s.staged = {{"C:\\Program Files (x86)", {"C", "Program Files (x86)"}, true, true},
                     {"C:\\Program Files (x86)\\Acme", {"C", "Program Files (x86)/Acme"}, true, false},
                     {"C:\\Program Files (x86)\\Acme\\Notes", {"C", "Program Files (x86)/Acme/Notes"}, true, false}};
       },
       {"vendor C:\\Program Files (x86)\\Acme\\Another Product\\readme.txt"}},
      {"a program group in a vendor's folder: another product's group beside it, and the second user's",
       [](CanaryStage& s) { s.shellItems = {"Programs/Acme/Notes/Notes.lnk"}; },
       {std::string("user C:\\users\\Another User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Acme\\Notes\\Notes.lnk"),
        std::string("vendor ") + kPrograms + "\\Acme\\Another Product\\Another Product.lnk"}},
      {"a group of its own: nothing beside it but the second user's",
       [](CanaryStage& s) { s.shellItems = {"Desktop/Widget.lnk", "Programs/Widget/Docs/Manual.lnk", "Programs/Widget/Widget.lnk"}; },
       {"user C:\\users\\Another User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Widget\\Docs\\Manual.lnk",
        "user C:\\users\\Another User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Widget\\Widget.lnk",
        "user C:\\users\\Another User\\Desktop\\Widget.lnk"}},
      {"Windows 98 has no second user",
       [](CanaryStage& s) {
         s.view.family = uninst::kOsWin98;
         s.shellItems = {"Desktop/Widget.lnk"};
       },
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CanaryStage stage = Stage();
    row.change(stage);
    EXPECT_EQ(Canaries(stage), row.canaries);
    CanaryPlan plan = PlanCanaries(stage);
    EXPECT_EQ(std::count_if(plan.items.begin(), plan.items.end(),
                            [](const CanaryItem& i) { return i.kind == CanaryKind::kShortcut; }),
              7);  // Desktop, Start Menu, Startup: the user's and all users'; SendTo
  }
}

// A canary under a Run key is as inert as the stage's values there: empty
// and of no type, so that no restart starts anything.
TEST(CanariesTest, ImportLinesKeepRunValuesInert) {
  CanaryStage stage = Stage();
  stage.exported = {{kRun, "Widget", false}, {std::string(kUninstall) + "\\Widget", "", false}};
  EXPECT_EQ(PlanCanaries(stage).ImportLines(),
            std::string("[") + kRun + "]\r\n\"Another Program\"=hex(0):\r\n\r\n[" + kUninstall +
                "\\Another Program]\r\n\"DisplayName\"=\"another program's\"\r\n\r\n");
}

TEST(CanariesTest, StageGroupIsTheFolderThatHoldsTheShortcuts) {
  const struct {
    std::vector<std::string> items;
    const char* group;
  } rows[] = {
      {{"Programs/Acme/Notes/Notes.lnk"}, "Acme/Notes"},
      {{"Programs/Acme/Notes/Notes.lnk", "Programs/Acme/Acme.lnk"}, "Acme"},
      {{"Programs/Widget/Widget.lnk", "Programs/Widget/Docs/Manual.lnk"}, "Widget"},
      {{"Desktop/Widget.lnk"}, ""},
      {{"Programs/A/a.lnk", "Programs/B/b.lnk"}, ""},
  };
  for (const auto& row : rows) EXPECT_EQ(StageGroup(row.items), row.group) << row.items[0];
}

}  // namespace
}  // namespace uninstdat
