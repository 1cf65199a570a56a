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

std::vector<std::string> LintCodes(const Json& manifest, int codePage = 1252) {
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
      {"registry-unknown-root", {{"registryList", {{{"key", "HKCU\\Software\\W"}}}}}},
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
  };
  EXPECT_TRUE(LintCodes(base).empty());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    Json manifest = base;
    manifest.update(row.changes);
    std::vector<std::string> codes = LintCodes(manifest);
    EXPECT_NE(std::find(codes.begin(), codes.end(), row.code), codes.end()) << Json(codes).dump();
  }
}

TEST(UninstdatLintTest, TruncatedFile) {
  TargetCodePage page(1252);
  std::vector<std::string> problems;
  std::string bytes("\x01\0\0\0a|b", 7);
  Decode(page.codePage, bytes, &problems);
  ASSERT_EQ(problems.size(), 1u);
  std::vector<Target> targets;
  std::string error;
  ASSERT_TRUE(MakeTargets({3}, nullptr, "C:\\A", page, &targets, &error));
  Findings findings;
  Lint(bytes, problems, page, targets, &findings);
  EXPECT_EQ(findings.kept()[0].code, "file-truncated");
}

// Names that differ only in a trail byte that looks like an ASCII letter are
// different names: ナビ/オビ (83 69 / 83 49), ツール/イール (83 63 / 83 43).
TEST(UninstdatLintTest, DoubleByteNamesCompareByCharacter) {
  Json manifest = {{"codePage", 932}, {"messageCaption", "Widget"}, {"restartPrompt", "Restart?"},
                   {"removalEntries", {"画像\\ナビ.bmp", "画像\\オビ.bmp", "ツール", "イール\\説明.txt"}}};
  EXPECT_EQ(LintCodes(manifest, 932), std::vector<std::string>{});
  manifest["removalEntries"] = {"ツール", "ツール\\説明.txt", "画像\\ナビ.bmp", "画像\\ナビ.BMP"};
  EXPECT_EQ(LintCodes(manifest, 932), (std::vector<std::string>{"folder-before-contents", "listed-twice"}));
}

TEST(UninstdatLintTest, FindingsPerCodeAreCappedAndCounted) {
  Findings findings(2);
  for (int i = 0; i < 5; ++i) findings.Add("listed-twice", "x", "y", "z");
  findings.Add("no-caption", "x", "y", "z");
  EXPECT_EQ(findings.kept().size(), 3u);
  EXPECT_EQ(findings.omitted().at("listed-twice"), 3u);
  EXPECT_EQ(findings.total(), 6u);
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
    std::string plan = Plan(bytes, page, row.target);
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
  std::vector<Json> records = PlanRecords(File(std::string(4, '\0'), {entries}), page, nt);
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

}  // namespace
}  // namespace uninstdat
