// uninstdat: round trips between manifests and data files (also in a
// double-byte code page), build errors, one case per lint code, and plan on
// the worked example.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/uninstdat/analysis.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/scan.h"

namespace uninstdat {
namespace {

std::string Bytes(const Json& manifest, int codePage = 1252) {
  TargetCodePage target(codePage);
  std::vector<std::string> errors;
  auto model = ModelFromManifest(manifest, target, &errors);
  EXPECT_TRUE(model) << (errors.empty() ? "" : errors[0]);
  return model ? Encode(*model) : "";
}

Json Show(const std::string& bytes, int codePage = 1252) {
  TargetCodePage target(codePage);
  std::vector<std::string> problems;
  return ManifestFromModel(Decode(target.codePage, bytes, &problems), target);
}

Json Example() {
  std::ifstream in(std::string(UNINST_SOURCE_DIR) + "/examples/worked-example.json");
  return Json::parse(in);
}

std::string File(const std::string& word, std::vector<std::string> texts) {
  texts.resize(13);
  std::string bytes = word;
  for (const std::string& t : texts) bytes += t + '\0';
  return bytes;
}

TEST(UninstdatRoundTripTest, ManifestToFileToManifest) {
  Json manifest = Example();
  std::string bytes = Bytes(manifest);
  Json shown = Show(bytes);
  EXPECT_EQ(shown["removalEntries"], manifest["removalEntries"]);
  EXPECT_EQ(shown["confirmPrompt"], manifest["confirmPrompt"]);
  EXPECT_EQ(shown["trailing"], manifest["trailing"]);
  EXPECT_EQ(Bytes(shown), bytes);
  EXPECT_EQ(Show(Bytes(shown)), shown) << "show is a fixed point";
}

TEST(UninstdatRoundTripTest, FileToManifestToFileIsByteExact) {
  struct Row { const char* name; std::string bytes; int codePage; };
  const Row rows[] = {
      {"smallest file", std::string(4, '\0') + std::string(13, '\0'), 1252},
      {"one semicolon, trailing text, odd word", File("\x02\x01\x00\x00", {"a;b|c;d;|;;;x|a;;c;d|tail"}), 1252},
      {"registry raw and structured", File(std::string("\x01\0\0\0", 4), {"", "HKEY_USERS\\a|HKEY_USERS\\b;v;w|x"}), 1252},
      {"short root names stay raw", File(std::string(4, '\0'), {"", "HKLM\\Software\\W;|hkcu\\x;v|"}), 1252},
      {"bytes that are no text in 1252", File(std::string(4, '\0'), {"\x81\x8d|", "", "\x90"}), 1252},
      {"shortcut lists with trailing names", File(std::string(4, '\0'), {"", "", "G", "a;;b", "", "c;", "d"}), 1252},
      {"bytes after the last text", File(std::string(4, '\0'), {}) + "junk\x01", 1252},
      {"double-byte trail bytes equal to | ; and \\", File(std::string(4, '\0'),
           {"D:\\\x81\x7C.txt|\x83\x5C;\x83\x5C;|", "", "\x95\x5C", "\x83\x5C;"}), 932},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Json shown = Show(row.bytes, row.codePage);
    EXPECT_EQ(Bytes(shown, row.codePage), row.bytes) << shown.dump();
  }
}

TEST(UninstdatRoundTripTest, DoubleByteTextsConvert) {
  Json manifest = {{"codePage", 932},
                   {"removalEntries", {"ソフト\\表示.txt"}},
                   {"startMenuShortcuts", {"表示"}},
                   {"messageCaption", "表示"}};
  std::string bytes = Bytes(manifest, 932);
  EXPECT_NE(bytes.find("\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt|"), std::string::npos);
  Json shown = Show(bytes, 932);
  EXPECT_EQ(shown["removalEntries"][0], "ソフト\\表示.txt");
  EXPECT_EQ(shown["messageCaption"], "表示");
}

// The schema that editors complete from names exactly what build accepts.
TEST(UninstdatSchemaTest, NamesWhatBuildAccepts) {
  std::ifstream in(std::string(UNINST_SOURCE_DIR) + "/tools/uninstdat/schema/manifest.schema.json");
  Json schema = Json::parse(in);
  auto keys = [](const Json& object) {
    std::vector<std::string> names;
    for (const auto& item : object["properties"].items()) names.push_back(item.key());
    std::sort(names.begin(), names.end());
    return names;
  };
  auto sorted = [](std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
  };
  const ManifestVocabulary& v = Vocabulary();
  EXPECT_EQ(keys(schema), sorted(v.fields));
  EXPECT_EQ(keys(schema["$defs"]["alternates"]), sorted(v.alternates));
  EXPECT_EQ(keys(schema["$defs"]["registryEntry"]), sorted(v.registryEntry));
  EXPECT_EQ(keys(schema["properties"]["trailing"]), sorted(v.trailing));
  std::vector<std::string> codes;
  for (const LintCode& code : LintCodes()) codes.push_back(code.code);
  const Json& allow = schema["properties"]["lintAllow"]["items"]["anyOf"];
  EXPECT_EQ(allow[0]["enum"].get<std::vector<std::string>>(), codes);
  std::string alternatives;
  for (const std::string& code : codes) alternatives += (alternatives.empty() ? "" : "|") + code;
  EXPECT_EQ(allow[1]["pattern"], "^(" + alternatives + ")=");
  std::vector<int> pages;
  for (int page : schema["properties"]["codePage"]["enum"]) pages.push_back(page);
  for (int page = 0; page < 70000; ++page)
    EXPECT_EQ(IsWindowsAnsiCodePage(page), std::count(pages.begin(), pages.end(), page) == 1) << page;
}

TEST(UninstdatBuildTest, ErrorsNameFieldAndItem) {
  struct Row { const char* name; Json manifest; const char* where; };
  const Row rows[] = {
      {"character outside the code page", {{"confirmPrompt", "日本"}}, "confirmPrompt"},
      {"bar inside an entry", {{"removalEntries", {"a", "b|c"}}}, "removalEntries[1]"},
      {"semicolon inside an alternate", {{"removalEntries", {{{"default", "a"}, {"nt", "b;c"}}}}}, "removalEntries[0].nt"},
      {"semicolon inside a shortcut name", {{"desktopShortcuts", {"ok", "a;b"}}}, "desktopShortcuts[1]"},
      {"semicolon inside a registry key", {{"registryList", {{{"key", "HKEY_USERS\\a;b"}}}}}, "registryList[0].key"},
      {"NUL inside a text", {{"closingMessage", std::string("a\0b", 3)}}, "closingMessage"},
      {"unknown field", {{"confirmPromt", "x"}}, "confirmPromt"},
      {"unknown alternate", {{"removalEntries", {{{"win2000", "x"}}}}}, "removalEntries[0].win2000"},
      {"bad allUsers", {{"allUsers", "yes"}}, "allUsers"},
      {"code page as text", {{"codePage", "932"}}, "codePage"},
      {"no ANSI code page", {{"codePage", 65001}}, "codePage"},
      {"empty value name", {{"registryList", {{{"key", "HKEY_USERS\\a"}, {"value", ""}}}}}, "registryList[0].value"},
      {"lone lead byte ends an entry", {{"codePage", 932}, {"removalEntries", {{{"hex", "6183"}}, "b.txt"}}}, "removalEntries[0]"},
      {"lone lead byte ends a name", {{"codePage", 932}, {"desktopShortcuts", {{{"hex", "83"}}}}}, "desktopShortcuts[0]"},
      {"short root name", {{"registryList", {{{"key", "HKLM\\Software\\W"}}}}}, "registryList[0].key"},
      {"unknown lint code", {{"lintAllow", {"listed-twice", "shared-sytem-file"}}}, "lintAllow[1]"},
      {"code page beyond int", {{"codePage", 4294968548u}}, "codePage"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TargetCodePage target(row.manifest.contains("codePage") && row.manifest["codePage"] == 932 ? 932 : 1252);
    std::vector<std::string> errors;
    EXPECT_FALSE(ModelFromManifest(row.manifest, target, &errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0].rfind(std::string(row.where) + ":", 0), 0u) << errors[0];
  }
}

std::vector<std::string> CodesOf(const Json& manifest, int codePage = 1252) {
  TargetCodePage page(codePage);
  std::vector<std::string> errors;
  auto model = ModelFromManifest(manifest, page, &errors);
  EXPECT_TRUE(model) << (errors.empty() ? "" : errors[0]);
  std::vector<Target> targets;
  std::string error;
  EXPECT_TRUE(MakeTargets({1, 2, 3}, nullptr, "C:\\Program Files\\Widget", page, &targets, &error));
  Findings findings;
  if (model) Lint(Encode(*model), {}, page, targets, &findings);
  std::vector<std::string> codes;
  for (const Finding& f : findings.kept()) codes.push_back(f.code);
  return codes;
}

TEST(UninstdatLintTest, OneCasePerCode) {
  const Json base = {{"messageCaption", "Widget Setup"}, {"restartPrompt", "Restart?"}};
  struct Row { const char* code; Json changes; };
  const Row rows[] = {
      {"nt-alternate-unclosed", {{"removalEntries", {"a.dll;b.dll"}}}},
      {"alternates-incomplete", {{"removalEntries", {"a.dll;b.dll;c.dll"}}}},
      {"entry-names-own-folder", {{"removalEntries", {{{"default", ""}, {"win95", "x"}}}}}},
      {"macro-without-backslash", {{"removalEntries", {"<Win>"}}}},
      {"unknown-macro", {{"removalEntries", {"<Windows>\\w.ini"}}}},
      {"path-does-not-fit", {{"removalEntries", {std::string(250, 'p')}}}},
      {"wildcard-in-path", {{"removalEntries", {"logs\\*.log"}}}},
      {"entry-unterminated", {{"trailing", {{"removalEntries", "last.txt"}}}}},
      {"folder-before-contents", {{"removalEntries", {"data", "data\\a.txt"}}}},
      {"listed-twice", {{"removalEntries", {"a.txt", "A.TXT"}}}},
      {"registry-no-semicolon", {{"registryList", {"HKEY_CURRENT_USER\\Software\\W"}}}},
      {"registry-no-subkey", {{"registryList", {"HKEY_CURRENT_USER;v"}}}},
      {"registry-unknown-root", {{"registryList", {"HKCU\\Software\\W;"}}}},
      {"registry-empty-subkey", {{"registryList", {{{"key", "HKEY_CURRENT_USER\\"}}}}}},
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
      {"shared-system-file", {{"removalEntries", {"<Sys32>\\wdgt.dll"}}}},
      {"shared-system-file", {{"removalEntries", {"<Fonts>\\wdgt.ttf"}}}},
      {"path-outside-machine", {{"removalEntries", {"\\\\?\\C:\\w.txt"}}}},
      {"machine-folder-listed", {{"removalEntries", {"<Win>\\Media"}}}},
      {"program-group-shared", {{"programGroup", "Accessories"}}},
      {"program-group-nested", {{"programGroup", "Acme\\Notes"}}},
      {"placeholder-text", {{"confirmPrompt", "TODO: ask"}}},
  };
  EXPECT_TRUE(CodesOf(base).empty());
  for (const LintCode& code : LintCodes()) {
    std::string name = code.code;
    if (name != "file-truncated" && name != "folder-unavailable") {  // FileAndMachineCases
      EXPECT_TRUE(std::any_of(std::begin(rows), std::end(rows), [&](const Row& row) { return row.code == name; }))
          << name << " has no case";
    }
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    Json manifest = base;
    manifest.update(row.changes);
    std::vector<std::string> codes = CodesOf(manifest);
    EXPECT_NE(std::find(codes.begin(), codes.end(), row.code), codes.end()) << Json(codes).dump();
  }
}

// What never widens a removal: whole keys judged by their shape and by the
// fresh machine, program groups that Windows or every product shares,
// folders of Windows itself, and paths that leave the machine's rules. Each
// row gets exactly the finding named, or none at all.
TEST(UninstdatLintTest, WholeKeysGroupsFoldersAndOutsidePaths) {
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
      {"vendor", key("HKEY_CURRENT_USER\\Software\\Widget Co"), ""},
      {"product below its vendor", key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Widget Co\\Widget\\1.0"), ""},
      {"vendor in the 32-bit view", key("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Widget Co"), ""},
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
      {"a vendor with blanks", key("HKEY_LOCAL_MACHINE\\Software\\Acme Corporation"), ""},
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

// The codes that a manifest on the default machines cannot show: a data
// file cut short, and a machine whose CommonFilesDir cannot be read.
TEST(UninstdatLintTest, FileAndMachineCases) {
  struct Row { const char* code; std::string bytes; Json machine; };
  const Row rows[] = {
      {"file-truncated", std::string("\x01\0\0\0a|b", 7), nullptr},
      {"folder-unavailable", File(std::string(4, '\0'), {"<CommonFiles>\\w.dll|"}), {{"commonFilesDir", nullptr}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    TargetCodePage page(1252);
    std::vector<std::string> problems;
    Decode(page.codePage, row.bytes, &problems);
    std::vector<Target> targets;
    std::string error;
    ASSERT_TRUE(MakeTargets({3}, row.machine.is_null() ? nullptr : &row.machine, "C:\\A", page, &targets, &error));
    Findings findings;
    Lint(row.bytes, problems, page, targets, &findings);
    ASSERT_FALSE(findings.kept().empty());
    EXPECT_EQ(findings.kept()[0].code, row.code);
  }
}

// Names that differ only in a trail byte that looks like an ASCII letter are
// different names: ナビ/オビ (83 69 / 83 49), ツール/イール (83 63 / 83 43).
TEST(UninstdatLintTest, DoubleByteNamesCompareByCharacter) {
  Json manifest = {{"codePage", 932}, {"messageCaption", "Widget"}, {"restartPrompt", "Restart?"},
                   {"removalEntries", {"画像\\ナビ.bmp", "画像\\オビ.bmp", "ツール", "イール\\説明.txt"}}};
  EXPECT_EQ(CodesOf(manifest, 932), std::vector<std::string>{});
  manifest["removalEntries"] = {"ツール", "ツール\\説明.txt", "画像\\ナビ.bmp", "画像\\ナビ.BMP"};
  EXPECT_EQ(CodesOf(manifest, 932), (std::vector<std::string>{"folder-before-contents", "listed-twice"}));
}

// Allowed findings are capped and counted apart from the others, so that
// acknowledging one entry never hides the findings of another.
TEST(UninstdatLintTest, FindingsPerCodeAreCappedAndCounted) {
  TargetCodePage page(1252);
  AllowRule rule;
  std::string error;
  ASSERT_TRUE(ParseAllowRule("listed-twice=b.txt", page, &rule, &error)) << error;
  Findings findings(2, {rule});
  auto add = [&](const char* code, std::optional<std::string_view> text) {
    Findings::Slot slot = findings.Admit(code, text);
    if (slot.keep) findings.Keep(slot, {code, "x", text.has_value(), "", "y", "z"});
  };
  for (int i = 0; i < 5; ++i) add("listed-twice", "a.txt");
  for (int i = 0; i < 4; ++i) add("listed-twice", "b.txt");
  add("no-caption", std::nullopt);
  EXPECT_EQ(findings.kept().size(), 5u);
  std::vector<std::string> omitted;
  for (const Findings::Omitted& o : findings.omitted())
    omitted.push_back(o.code + (o.allowed ? " allowed " : " ") + std::to_string(o.count));
  EXPECT_EQ(omitted, (std::vector<std::string>{"listed-twice 3", "listed-twice allowed 2"}));
  EXPECT_EQ(findings.total(), 10u);
  EXPECT_EQ(findings.allowed(), 4u);
  EXPECT_EQ(findings.toMend(), 6u);
}

TEST(UninstdatCodePageTest, HintsAtTheLikelyDoubleBytePage) {
  struct Row { const char* name; std::string texts; int likely; };
  const Row rows[] = {
      {"code page 932", "\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt|", 932},
      {"Latin text", "Caf\xE9\\R\xE9sum\xE9 de Se\xF1or.txt|", 0},
      {"ASCII only", "widget.exe|", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(LikelierDoubleByteCodePage(File(std::string(4, '\0'), {row.texts}), 1252), row.likely);
  }
}

TEST(UninstdatPlanTest, WorkedExamplePaths) {
  std::string bytes = Bytes(Example());
  TargetCodePage page(1252);
  Target nt{DefaultMachine(3), "C:\\Apps\\Widget"};
  nt.machine.windowsDir = "C:\\WINNT";
  nt.machine.systemDir = "C:\\WINNT\\System32";
  nt.machine.tempDir = "C:\\TEMP\\";
  nt.machine.shellFolders[0x14] = "C:\\WINNT\\Fonts";
  Target w95{DefaultMachine(1), "C:\\Apps\\Widget"};
  w95.machine.tempDir = "C:\\TEMP\\";
  struct Row { const char* name; const Target& target; std::vector<std::string> paths; };
  const Row rows[] = {
      {"NT", nt, {"C:\\Apps\\Widget\\widget.exe", "C:\\Apps\\Widget\\help\\widget.hlp",
                  "C:\\WINNT\\System32\\wdgt.dll", "C:\\WINNT\\wdgt.ini", "C:\\Apps\\Widget\\",
                  "C:\\TEMP\\wdgt.tmp", "D:\\Shared\\widget.ini", "C:\\WINNT\\Fonts\\wdgt.ttf",
                  "C:\\Apps\\Widget\\x.txt"}},
      {"Windows 95", w95, {"C:\\Apps\\Widget\\widget.exe", "C:\\Apps\\Widget\\help\\widget.hlp",
                           "C:\\WINDOWS\\System\\wdgt.dll", "C:\\WINDOWS\\wdgt95.ini",
                           "C:\\WINDOWS\\legacy.ini", "C:\\TEMP\\wdgt.tmp", "D:\\Shared\\widget.ini",
                           "C:\\WINDOWS\\Fonts\\wdgt.ttf", "C:\\Apps\\Widget\\x.txt"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::ostringstream out;
    Plan(bytes, page, row.target, 0, out);
    std::string plan = out.str();
    size_t from = plan.find("\n5. "), to = plan.find("\n6. ");
    std::istringstream section(plan.substr(from, to - from));
    std::vector<std::string> paths;
    std::string line;
    std::getline(section, line);
    std::getline(section, line);
    while (std::getline(section, line))
      if (line.find("dropped:") == std::string::npos) paths.push_back(line.substr(5, line.find("   (") - 5));
    EXPECT_EQ(paths, row.paths);
  }
}

// Every entry's outcome, with the reason the plan gives for it.
TEST(UninstdatPlanTest, EntryOutcomes) {
  TargetCodePage page(1252);
  Target nt{DefaultMachine(3), "C:\\Apps\\Widget"};
  nt.machine.commonFilesDir = "";  // its registry value cannot be read
  struct Row { const char* entry; const char* outcome; const char* reason; const char* path; };
  const Row rows[] = {
      {"a.txt", "listed", "", "C:\\Apps\\Widget\\a.txt"},
      {"<Win>", "dropped", "macro-without-backslash", nullptr},
      {"<CommonFiles>\\x.dll", "dropped", "folder-unavailable", nullptr},
      {"a;;", "listed", "", "C:\\Apps\\Widget\\a"},
      {";b;", "listed", "", "C:\\Apps\\Widget\\b"},
      {"x;;;y", "listed", "", "C:\\Apps\\Widget\\x"},
      {";;;y", "listed", "matches-nothing", "C:\\Apps\\Widget\\"},
      {"logs\\*.log", "listed", "wildcard", "C:\\Apps\\Widget\\logs\\*.log"},
      {"..\\Widget", "listed", "install-folder", "C:\\Apps\\Widget\\..\\Widget"},
  };
  std::string entries;
  for (const Row& row : rows) entries += std::string(row.entry) + "|";
  entries += std::string(300, 'p') + "|";
  std::vector<Json> records;
  PlanRecords(File(std::string(4, '\0'), {entries}), page, nt, 0, [&](const Json& r) { records.push_back(r); });
  std::vector<Json> outcomes;
  for (const Json& r : records)
    if (r["record"] == "entry") outcomes.push_back(r);
  ASSERT_EQ(outcomes.size(), std::size(rows) + 1);
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].entry);
    EXPECT_EQ(outcomes[i]["outcome"], rows[i].outcome);
    EXPECT_EQ(outcomes[i].value("reason", ""), rows[i].reason);
    if (rows[i].path) {
      EXPECT_EQ(outcomes[i]["path"], rows[i].path);
    }
  }
  EXPECT_EQ(outcomes.back()["reason"], "path-does-not-fit");
  EXPECT_EQ(records.back()["folderRemoved"], true);
}

TEST(UninstdatScanTest, RegistryExport) {
  const std::string reg =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\W]\r\n\"Data\"=hex:01,02,\\\r\n  03\r\n"
      "@=\"x\"\r\n[-HKEY_CURRENT_USER\\Software\\Gone]\r\n\"ignored\"=\"1\"\r\n"
      "[HKCU\\Software\\W\\Sub]\r\n\"a \\\"b\\\"\"=-\r\n\"c\"=dword:1\r\n";
  std::vector<RegistryItem> items;
  std::string error;
  ASSERT_TRUE(ParseRegistryExport(reg, 1252, &items, &error)) << error;
  std::vector<std::string> seen;
  for (const RegistryItem& item : items)
    seen.push_back(item.key + ";" + (item.defaultValue ? "@" : item.value));
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "HKEY_CURRENT_USER\\Software\\W;", "HKEY_CURRENT_USER\\Software\\W;Data",
                      "HKEY_CURRENT_USER\\Software\\W;@", "HKEY_CURRENT_USER\\Software\\W\\Sub;",
                      "HKEY_CURRENT_USER\\Software\\W\\Sub;c"}));
  EXPECT_FALSE(ParseRegistryExport("[HKEY_USERS\\x]\r\n", 1252, &items, &error));
}

// Entries: relative in the install folder, the deepest machine folder's
// macro, else absolute; no folder that holds a machine folder.
TEST(UninstdatScanTest, EntriesFromTheStage) {
  std::string stage = ::testing::TempDir() + "/uninstdat-stage";
  std::filesystem::remove_all(stage);
  for (const char* file : {"files/C/Program Files/Widget/a.txt", "files/C/Windows/Fonts/w.ttf",
                           "files/C/Windows/w.ini", "files/C/Data/x.txt", "files/D/Shared/y.txt"}) {
    std::filesystem::create_directories(std::filesystem::path(stage + "/" + file).parent_path());
    std::ofstream(stage + "/" + file) << "x";
  }
  ScanOptions options;
  options.stage = stage;
  options.installFolder = "C:\\Program Files\\Widget";
  options.machine = DefaultMachine(3);
  options.machine.programFilesDir = "C:\\Program Files";
  Json manifest;
  std::vector<std::string> notes;
  std::string error;
  ASSERT_TRUE(Scan(options, &manifest, &notes, &error)) << error;
  EXPECT_EQ(manifest["removalEntries"], Json({"C:\\Data\\x.txt", "C:\\Data", "a.txt", "<Win>\\w.ini",
                                              "<Fonts>\\w.ttf", "D:\\Shared\\y.txt", "D:\\Shared"}));
  std::filesystem::remove_all(stage);
}

// A product as authors ship it: its own keys, and values it adds under keys
// of Windows (a font, an environment variable, a shell folder, a file
// association). scan lists those values one by one and whole keys only for
// the product's own; Windows' folders are never listed; and the manifest,
// its texts written, passes lint --strict with its own font allowed.
TEST(UninstdatScanTest, RealisticStage) {
  std::string stage = ::testing::TempDir() + "/uninstdat-realistic-stage";
  std::filesystem::remove_all(stage);
  auto put = [&](const std::string& file, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(stage + "/" + file).parent_path());
    std::ofstream(stage + "/" + file, std::ios::binary) << text;
  };
  for (const char* file : {"files/C/Program Files/Widget/widget.exe", "files/C/Windows/Fonts/wdgtsans.ttf",
                           "files/C/Windows/inf/wdgt.inf", "files/C/ProgramData/Widget Co/cache.bin",
                           "files/C/Users/Public/Documents/Widget/readme.txt", "shell/Programs/Widget/Widget.lnk"})
    put(file, "x");
  put("registry.reg",
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n"
      "\"Widget Sans (TrueType)\"=\"wdgtsans.ttf\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment]\r\n"
      "\"WIDGET_HOME\"=\"C:\\\\Program Files\\\\Widget\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n"
      "\"Widget Data\"=\"C:\\\\Users\\\\User\\\\Documents\\\\Widget\"\r\n"
      "[HKEY_CLASSES_ROOT\\.wdg]\r\n@=\"Widget.Document\"\r\n\"Content Type\"=\"application/x-widget\"\r\n"
      "[HKEY_CLASSES_ROOT\\.wdg\\OpenWithProgids]\r\n\"Widget.Document\"=\"\"\r\n"
      "[HKEY_CLASSES_ROOT\\Widget.Document]\r\n@=\"Widget Document\"\r\n"
      "[HKEY_CLASSES_ROOT\\Widget.Document\\shell\\open\\command]\r\n@=\"widget.exe \\\"%1\\\"\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Widget Co\\Widget]\r\n\"Version\"=\"1.0\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Widget]\r\n"
      "\"DisplayName\"=\"Widget\"\r\n");
  ScanOptions options;
  options.stage = stage;
  options.installFolder = "C:\\Program Files\\Widget";
  options.machine = DefaultMachine(3);
  Json manifest;
  std::vector<std::string> notes;
  std::string error;
  ASSERT_TRUE(Scan(options, &manifest, &notes, &error)) << error;
  std::filesystem::remove_all(stage);

  EXPECT_EQ(manifest["removalEntries"],
            Json({"widget.exe", "C:\\ProgramData\\Widget Co\\cache.bin", "C:\\ProgramData\\Widget Co",
                  "C:\\Users\\Public\\Documents\\Widget\\readme.txt", "C:\\Users\\Public\\Documents\\Widget",
                  "<Fonts>\\wdgtsans.ttf", "<Win>\\inf\\wdgt.inf"}));
  std::vector<std::string> registry;
  for (const Json& e : manifest["registryList"])
    registry.push_back(e["key"].get<std::string>() + (e.contains("value") ? ";" + e["value"].get<std::string>() : ""));
  EXPECT_EQ(registry, (std::vector<std::string>{
                          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts;Widget Sans (TrueType)",
                          "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment;WIDGET_HOME",
                          "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders;Widget Data",
                          "HKEY_CLASSES_ROOT\\.wdg;Content Type",
                          "HKEY_CLASSES_ROOT\\.wdg\\OpenWithProgids;Widget.Document",
                          "HKEY_CLASSES_ROOT\\Widget.Document",
                          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Widget Co\\Widget",
                          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Widget"}));
  EXPECT_EQ(std::count_if(notes.begin(), notes.end(),
                          [](const std::string& note) { return note.find("HKEY_CLASSES_ROOT\\.wdg") != std::string::npos; }),
            3) << Json(notes).dump();  // its default value, and the two keys that stay

  for (const char* field : {"messageCaption", "confirmPrompt", "runningPrompt", "closingMessage", "restartPrompt"})
    manifest[field] = std::string("Widget: ") + field;
  TargetCodePage page(1252);
  std::vector<std::string> errors;
  auto model = ModelFromManifest(manifest, page, &errors);
  ASSERT_TRUE(model) << errors[0];
  std::vector<Target> targets;
  ASSERT_TRUE(MakeTargets({1, 2, 3}, nullptr, "", page, &targets, &error)) << error;
  AllowRule font;
  ASSERT_TRUE(ParseAllowRule("shared-system-file", page, &font, &error));
  Findings findings(0, {font});
  Lint(Encode(*model), {}, page, targets, &findings);
  for (const Finding& f : findings.kept())
    EXPECT_TRUE(f.allowed) << f.code << " " << f.where << ": " << f.what;
  EXPECT_EQ(findings.toMend(), 0u);
  EXPECT_EQ(findings.allowed(), 1u);
}

}  // namespace
}  // namespace uninstdat
