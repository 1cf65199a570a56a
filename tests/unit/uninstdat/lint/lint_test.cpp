// Lint: every code of the lint table has a case here that shows it, and
// what never widens a removal (whole keys, shared groups, folders of
// Windows, paths past the machine's rules) is judged row by row.
#include "tools/uninstdat/lint/lint.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/unit/uninstdat/test_files.h"

namespace uninstdat {
namespace {

// The codes lint finds in a data file, on every family's default machine
// with `machine` (a JSON description, or null) over it.
std::vector<std::string> CodesIn(const std::string& bytes, const Json& machine = nullptr, int codePage = 1252) {
  TargetCodePage page(codePage);
  Result<std::vector<Target>> targets = MakeTargets({uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt},
                                                    machine.is_null() ? nullptr : &machine, "C:\\Program Files\\Widget", page);
  EXPECT_TRUE(targets) << targets.failure().message;
  if (!targets) return {};
  Findings findings;
  Lint(bytes, LayoutProblems(bytes), page, *targets, &findings);
  std::vector<std::string> codes;
  for (const Finding& f : findings.kept()) codes.push_back(f.code());
  return codes;
}

std::vector<std::string> CodesOf(const Json& manifest, int codePage = 1252) {
  return CodesIn(Bytes(manifest, codePage), nullptr, codePage);
}

// A row per case; a code of the lint table without a row fails the test.
TEST(LintTest, OneCasePerCode) {
  const Json base = {{"messageCaption", "Widget Setup"}, {"restartPrompt", "Restart?"}};
  struct Row {
    const char* code;
    Json changes;           // to the base manifest
    std::string bytes = "";  // or a data file as it stands
    Json machine = nullptr; // over the default machines
  };
  const Row rows[] = {
      {"file-truncated", {}, std::string("\x01\0\0\0a|b", 7)},
      {"nt-alternate-unclosed", {{"removalEntries", {"a.dll;b.dll"}}}},
      {"alternates-incomplete", {{"removalEntries", {"a.dll;b.dll;c.dll"}}}},
      {"entry-names-own-folder", {{"removalEntries", {{{"default", ""}, {"win95", "x"}}}}}},
      {"macro-without-backslash", {{"removalEntries", {"<Win>"}}}},
      {"unknown-macro", {{"removalEntries", {"<Windows>\\w.ini"}}}},
      {"path-does-not-fit", {{"removalEntries", {std::string(250, 'p')}}}},
      {"folder-unavailable", {}, File(std::string(4, '\0'), {"<CommonFiles>\\w.dll|"}), {{"commonFilesDir", nullptr}}},
      {"wildcard-in-path", {{"removalEntries", {"logs\\*.log"}}}},
      {"entry-unterminated", {{"trailing", {{"removalEntries", "last.txt"}}}}},
      {"folder-before-contents", {{"removalEntries", {"data", "data\\a.txt"}}}},
      {"listed-twice", {{"removalEntries", {"a.txt", "A.TXT"}}}},
      {"registry-no-semicolon", {{"registryList", {"HKEY_CURRENT_USER\\Software\\W"}}}},
      {"registry-no-subkey", {{"registryList", {"HKEY_CURRENT_USER;v"}}}},
      {"registry-unknown-root", {{"registryList", {"HKCU\\Software\\W;"}}}},
      {"registry-empty-subkey", {{"registryList", {{{"key", "HKEY_CURRENT_USER\\"}}}}}},
      {"registry-empty-subkey", {{"registryList", {"HKEY_CURRENT_USER\\;v"}}}},
      {"registry-unterminated", {{"trailing", {{"registryList", "HKEY_USERS\\a;"}}}}},
      {"shortcut-empty-name", {{"desktopShortcuts", {""}}}},
      {"shortcut-has-extension", {{"startMenuShortcuts", {"Widget.lnk"}}}},
      {"shortcut-unterminated", {{"trailing", {{"startupShortcuts", "Widget"}}}}},
      {"program-group-refused", {{"programGroup", "..\\.."}}},
      {"no-caption", {{"messageCaption", ""}}},
      {"no-restart-prompt", {{"restartPrompt", ""}}},
      {"install-folder-listed", {{"removalEntries", {"a.txt", "C:\\Program Files\\Widget\\."}}}},
      {"registry-shared-tree", {{"registryList", {{{"key", "HKEY_LOCAL_MACHINE\\Software"}}}}}},
      {"registry-shared-tree", {{"registryList", {{{"key", "HKEY_CLASSES_ROOT\\.txt"}}}}}},
      {"registry-vendor-key", {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Acme"}}}}}},
      {"shared-system-file", {{"removalEntries", {"<Sys32>\\wdgt.dll"}}}},
      {"shared-system-file", {{"removalEntries", {"<Fonts>\\wdgt.ttf"}}}},
      {"path-outside-machine", {{"removalEntries", {"\\\\?\\C:\\w.txt"}}}},
      {"machine-folder-listed", {{"removalEntries", {"<Win>\\Media"}}}},
      {"program-group-shared", {{"programGroup", "Accessories"}}},
      {"program-group-nested", {{"programGroup", "Acme\\Notes"}}},
      {"placeholder-text", {{"confirmPrompt", "TODO: ask"}}},
  };
  EXPECT_TRUE(CodesOf(base).empty());
  for (const LintRule& rule : LintRules())
    EXPECT_TRUE(std::any_of(std::begin(rows), std::end(rows), [&](const Row& row) { return row.code == std::string(rule.name); }))
        << rule.name << " has no case";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    Json manifest = base;
    if (row.bytes.empty()) manifest.update(row.changes);
    std::vector<std::string> codes = CodesIn(row.bytes.empty() ? Bytes(manifest) : row.bytes, row.machine);
    EXPECT_NE(std::find(codes.begin(), codes.end(), row.code), codes.end()) << Json(codes).dump();
  }
}

// What never widens a removal: whole keys judged by their shape and by the
// fresh machine, program groups that Windows or every product shares,
// folders of Windows itself, and paths that leave the machine's rules. Each
// row gets exactly the finding named, or none at all.
TEST(LintTest, WholeKeysGroupsFoldersAndOutsidePaths) {
  const Json base = {{"messageCaption", "Widget Setup"}, {"restartPrompt", "Restart?"}};
  auto key = [](const char* name) { return Json{{"registryList", {{{"key", name}}}}}; };
  auto entry = [](const char* path) { return Json{{"removalEntries", {path}}}; };
  auto group = [](const char* name) { return Json{{"programGroup", name}}; };
  struct Row { const char* name; Json changes; const char* code; };
  const char* shared = "registry-shared-tree";
  const char* folder = "machine-folder-listed";
  const char* outside = "path-outside-machine";
  const Row rows[] = {
      // Keys of Windows, named in the report: a fresh machine has each.
      {"font registrations", key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"), shared},
      {"system environment", key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"), shared},
      {"Control", key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control"), shared},
      {"Shell Folders", key("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"), shared},
      {"default user", key("HKEY_USERS\\.DEFAULT"), shared},
      {"Applications", key("HKEY_CLASSES_ROOT\\Applications"), shared},
      {"http", key("HKEY_CLASSES_ROOT\\http"), shared},
      {"Run", key("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"), shared},
      {"Software", key("HKEY_LOCAL_MACHINE\\Software"), shared},
      {".txt", key("HKEY_CLASSES_ROOT\\.txt"), shared},
      {"user environment", key("HKEY_CURRENT_USER\\Environment"), shared},
      {"Control Panel", key("HKEY_CURRENT_USER\\Control Panel\\Desktop"), shared},
      // Owned shapes that a fresh machine already has.
      {"a Windows service", key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip"), shared},
      {"a Windows CLSID", key("HKEY_CLASSES_ROOT\\CLSID\\{0000002F-0000-0000-C000-000000000046}"), shared},
      {"below a Windows CLSID", key("HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{0000002f-0000-0000-c000-000000000046}\\InprocServer32"), shared},
      {"a Windows ProgID", key("HKEY_CLASSES_ROOT\\ADODB.Stream"), shared},
      {"the vendor Wine", key("HKEY_LOCAL_MACHINE\\Software\\Wine"), shared},
      // No shape that one product owns.
      {"the Uninstall key itself", key("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"), shared},
      {"a file extension", key("HKEY_CLASSES_ROOT\\.wdg"), shared},
      {"the 32-bit view", key("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node"), shared},
      {"all classes", key("HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID"), shared},
      {"Policies", key("HKEY_CURRENT_USER\\Software\\Policies\\Widget Co"), shared},
      {"a CLSID that is no GUID", key("HKEY_CLASSES_ROOT\\CLSID\\Widget"), shared},
      {"a ProgID of Microsoft", key("HKEY_CLASSES_ROOT\\Microsoft.Widget"), shared},
      {"a class without a dot", key("HKEY_CLASSES_ROOT\\widgetfile"), shared},
      {"an empty component", key("HKEY_CURRENT_USER\\Software\\\\Widget Co"), shared},
      {"a configuration", key("HKEY_CURRENT_CONFIG\\Software\\Widget Co"), shared},
      // The product's own keys.
      {"product below its vendor", key("HKEY_CURRENT_USER\\Software\\Widget Co\\Widget"), ""},
      {"a version below the product", key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Widget Co\\Widget\\1.0"), ""},
      {"product in the 32-bit view", key("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Widget Co\\Widget"), ""},
      {"uninstall entry", key("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Widget"), ""},
      {"program path", key("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\widget.exe"), ""},
      {"CLSID", key("HKEY_CLASSES_ROOT\\CLSID\\{6B29FC40-CA47-1067-B31D-00DD010662DA}"), ""},
      {"Interface", key("HKEY_CLASSES_ROOT\\Interface\\{6B29FC41-CA47-1067-B31D-00DD010662DA}"), ""},
      {"TypeLib", key("HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{6b29fc42-ca47-1067-b31d-00dd010662da}"), ""},
      {"AppID", key("HKEY_CLASSES_ROOT\\AppID\\{6B29FC43-CA47-1067-B31D-00DD010662DA}"), ""},
      {"ProgID", key("HKEY_CLASSES_ROOT\\Widget.Document"), ""},
      {"versioned ProgID of the user", key("HKEY_CURRENT_USER\\Software\\Classes\\Widget.Document.1"), ""},
      {"service", key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WidgetSvc"), ""},
      {"service parameters", key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WidgetSvc\\Parameters"), ""},
      {"a product of a vendor with blanks", key("HKEY_LOCAL_MACHINE\\Software\\Acme Corporation\\Notes"), ""},
      // A vendor's key: every product of that vendor lies below it.
      {"vendor", key("HKEY_CURRENT_USER\\Software\\Widget Co"), "registry-vendor-key"},
      {"vendor of the machine", key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme"), "registry-vendor-key"},
      {"vendor in the 32-bit view", key("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Widget Co"), "registry-vendor-key"},
      {"vendor with a backslash after it", key("HKEY_CURRENT_USER\\Software\\Acme\\"), "registry-vendor-key"},
      {"settings deep below the vendor", key("HKEY_CURRENT_USER\\Software\\Acme\\Notes\\3.2\\Recent"), ""},
      {"the user's uninstall entry", key("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme Notes"), ""},
      {"uninstall entry in the 32-bit view", key("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{6B29FC44-CA47-1067-B31D-00DD010662DA}"), ""},
      {"the user's program path", key("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\notes.exe"), ""},
      {"CLSID in the 32-bit view", key("HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{6B29FC45-CA47-1067-B31D-00DD010662DA}"), ""},
      {"the user's CLSID", key("HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{6B29FC46-CA47-1067-B31D-00DD010662DA}"), ""},
      {"a TypeLib version", key("HKEY_CLASSES_ROOT\\TypeLib\\{6B29FC42-CA47-1067-B31D-00DD010662DA}\\1.0"), ""},
      {"a ProgID's verbs", key("HKEY_CLASSES_ROOT\\Acme.Notes.3\\shell\\open\\command"), ""},
      {"a value under a key of Windows", {{"registryList", {{{"key", "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"}, {"value", "Widget"}}}}}, ""},
      // Program groups.
      {"Accessories", group("Accessories"), "program-group-shared"},
      {"System Tools in any case", group("accessories\\SYSTEM TOOLS"), "program-group-shared"},
      {"StartUp with a dot Windows drops", group("StartUp."), "program-group-shared"},
      {"Games", group("Games"), "program-group-shared"},
      {"Windows Accessories", group("Windows Accessories"), "program-group-shared"},
      {"Administrative Tools", group("Administrative Tools"), "program-group-shared"},
      {"a group of its own", group("Widget"), ""},
      {"nested: the parent stays", group("Acme\\Acme Notes 3.2"), "program-group-nested"},
      {"nested in a shared folder", group("Accessories\\Widget"), "program-group-nested"},
      // Folders of Windows itself, on every family.
      {"ProgramData", entry("C:\\ProgramData"), folder},
      {"Common Files", entry("C:\\Program Files (x86)\\Common Files"), folder},
      {"the public profile", entry("C:\\users\\Public"), folder},
      {"public documents", entry("C:\\Users\\Public\\Documents"), folder},
      {"inf", entry("<Win>\\inf"), folder},
      {"Help", entry("<Win>\\Help"), folder},
      {"Media", entry("<Win>\\Media"), folder},
      {"syswow64", entry("<Win>\\syswow64"), folder},
      {"Help with a dot", entry("<Win>\\Help\\."), folder},
      {"the temporary folder's parent", entry("C:\\Users\\User\\AppData\\Local"), folder},
      {"Start menu Programs", entry("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"), folder},
      {"with slashes", entry("C:/Windows/Help"), folder},
      {"a folder of the product in Windows", entry("<Win>\\Widget"), ""},
      {"a folder of the product in ProgramData", entry("C:\\ProgramData\\Widget Co"), ""},
      {"a folder of the product in Common Files", entry("<CommonFiles>\\Widget Co"), ""},
      // Paths past the machine's rules, and what is no such path.
      {"\\\\?\\ drive path", entry("\\\\?\\C:\\widget.txt"), outside},
      {"\\\\?\\unix path", entry("\\\\?\\unix\\etc\\widget"), outside},
      {"\\\\.\\ device", entry("\\\\.\\PhysicalDrive0"), outside},
      {"a slash after \\\\?", entry("\\\\?/C:/widget.txt"), outside},
      {"a share", entry("\\\\server\\share\\widget.txt"), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Json manifest = base;
    manifest.update(row.changes);
    std::vector<std::string> codes = CodesOf(manifest);
    EXPECT_EQ(codes, *row.code ? std::vector<std::string>{row.code} : std::vector<std::string>{});
  }
}

// Names that differ only in a trail byte that looks like an ASCII letter are
// different names: ナビ/オビ (83 69 / 83 49), ツール/イール (83 63 / 83 43).
TEST(LintTest, DoubleByteNamesCompareByCharacter) {
  Json manifest = {{"codePage", 932}, {"messageCaption", "Widget"}, {"restartPrompt", "Restart?"},
                   {"removalEntries", {"画像\\ナビ.bmp", "画像\\オビ.bmp", "ツール", "イール\\説明.txt"}}};
  EXPECT_EQ(CodesOf(manifest, 932), std::vector<std::string>{});
  manifest["removalEntries"] = {"ツール", "ツール\\説明.txt", "画像\\ナビ.bmp", "画像\\ナビ.BMP"};
  EXPECT_EQ(CodesOf(manifest, 932), (std::vector<std::string>{"folder-before-contents", "listed-twice"}));
}

}  // namespace
}  // namespace uninstdat
