// scan: the manifest of a stage, each entry written as the uninstaller
// finds it on the machine, and a realistic product that passes lint.
#include "tools/uninstdat/stage/scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tools/uninstdat/lint/lint.h"
#include "tools/uninstdat/manifest.h"

namespace uninstdat {
namespace {

// A stage that cannot be read is the input's fault: exit 3 and the reason.
TEST(ScanTest, UnreadableStageFails) {
  ScanOptions options;
  options.stage = testing::TempDir() + "/scan_no_such_stage";
  options.installFolder = "C:\\Program Files\\Widget";
  options.machine = DefaultMachine(uninst::kOsNt);
  std::vector<std::string> notes;
  Result<Json> scanned = Scan(options, &notes);
  ASSERT_FALSE(scanned);
  EXPECT_EQ(scanned.failure().code, Exit::kBadInput);
  EXPECT_NE(scanned.failure().message.find("scan_no_such_stage"), std::string::npos) << scanned.failure().message;
}

// Entries: relative in the install folder, the deepest machine folder's
// macro, else absolute; no folder that holds a machine folder.
TEST(ScanTest, EntriesFromTheStage) {
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
  options.machine = DefaultMachine(uninst::kOsNt);
  options.machine.programFilesDir = "C:\\Program Files";
  std::vector<std::string> notes;
  Result<Json> scanned = Scan(options, &notes);
  ASSERT_TRUE(scanned) << scanned.failure().message;
  Json manifest = *scanned;
  EXPECT_EQ(manifest["removalEntries"], Json({"C:\\Data\\x.txt", "C:\\Data", "a.txt", "<Win>\\w.ini",
                                              "<Fonts>\\w.ttf", "D:\\Shared\\y.txt", "D:\\Shared"}));
  std::filesystem::remove_all(stage);
}

// A vendor's key and a vendor's folder of the Programs menu are shared by
// every product of that vendor: scan never lists them whole. Each row: the
// export's items (key, or key and value) and the registry list scan
// writes; or the stage's Programs tree and the group it takes.
TEST(ScanTest, NeverTheVendorsKeyOrGroupWhole) {
  const struct {
    const char* name;
    std::vector<RegistryItem> items;
    std::vector<std::string> registry;
  } keys[] = {
      {"a product below its vendor: the product's key",
       {{"HKEY_CURRENT_USER\\Software\\Acme", "", false}, {"HKEY_CURRENT_USER\\Software\\Acme\\Notes", "", false},
        {"HKEY_CURRENT_USER\\Software\\Acme\\Notes", "Recent", false}},
       {"HKEY_CURRENT_USER\\Software\\Acme\\Notes;"}},
      {"the vendor's own values one by one, each key below it whole",
       {{"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme", "", false},
        {"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme", "Shared", false},
        {"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme\\Notes", "", false},
        {"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme\\Paint Plugin", "", false}},
       {"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme;Shared", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme\\Notes;",
        "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme\\Paint Plugin;"}},
  };
  for (const auto& row : keys) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> notes, registry;
    for (const Json& e : RegistryEntries(row.items, &notes))
      registry.push_back(e["key"].get<std::string>() + ";" + e.value("value", ""));
    EXPECT_EQ(registry, row.registry);
    EXPECT_EQ(std::count_if(notes.begin(), notes.end(),
                            [](const std::string& n) { return n.find("vendor's key") != std::string::npos; }),
              1) << Json(notes).dump();
  }

  const struct {
    const char* name;
    std::vector<const char*> shortcuts;  // below shell/Programs
    const char* group;
  } groups[] = {
      {"a vendor's folder that holds only the product's", {"Acme/Notes/Notes.lnk"}, "Acme\\Notes"},
      {"deeper: each folder that holds only one", {"Acme/Notes 3/Docs/Manual.lnk"}, "Acme\\Notes 3\\Docs"},
      {"a folder of its own with a subfolder", {"Acme/Notes/Notes.lnk", "Acme/Notes/Docs/Manual.lnk"}, "Acme\\Notes"},
      {"a folder that holds shortcuts beside the inner one", {"Acme/Notes/Notes.lnk", "Acme/Acme.lnk"}, "Acme"},
      {"a group of its own", {"Widget/Widget.lnk"}, "Widget"},
      {"a shared folder holding the product's folder", {"Accessories/Notes/Notes.lnk"}, "Accessories\\Notes"},
      {"a shared folder itself", {"Accessories/Notes.lnk"}, ""},
  };
  for (const auto& row : groups) {
    SCOPED_TRACE(row.name);
    std::string stage = ::testing::TempDir() + "/uninstdat-group-stage";
    std::filesystem::remove_all(stage);
    for (const char* file : row.shortcuts) {
      std::filesystem::path path = stage + "/shell/Programs/" + file;
      std::filesystem::create_directories(path.parent_path());
      std::ofstream(path) << "lnk";
    }
    ScanOptions options;
    options.stage = stage;
    options.installFolder = "C:\\Program Files\\Acme\\Notes";
    options.machine = DefaultMachine(uninst::kOsNt);
    std::vector<std::string> notes;
    Result<Json> scanned = Scan(options, &notes);
    ASSERT_TRUE(scanned) << scanned.failure().message;
    Json manifest = *scanned;
    EXPECT_EQ(manifest["programGroup"], row.group);
    std::filesystem::remove_all(stage);
  }
}

// A product as authors ship it: its own keys, and values it adds under keys
// of Windows (a font, an environment variable, a shell folder, a file
// association). scan lists those values one by one and whole keys only for
// the product's own; Windows' folders are never listed; and the manifest,
// its texts written, passes lint --strict with its own font allowed.
TEST(ScanTest, RealisticStage) {
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
  options.machine = DefaultMachine(uninst::kOsNt);
  std::vector<std::string> notes;
  Result<Json> scanned = Scan(options, &notes);
  ASSERT_TRUE(scanned) << scanned.failure().message;
  Json manifest = *scanned;
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
  Result<DataFileModel> model = ModelFromManifest(manifest, page);
  ASSERT_TRUE(model) << model.failure().message;
  Result<std::vector<Target>> targets = MakeTargets({uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt}, nullptr, "", page);
  ASSERT_TRUE(targets) << targets.failure().message;
  Result<AllowRule> font = ParseAllowRule("shared-system-file", page);
  ASSERT_TRUE(font) << font.failure().message;
  Findings findings(0, {*font});
  Lint(Encode(*model), {}, page, *targets, &findings);
  for (const Finding& f : findings.kept())
    EXPECT_TRUE(f.allowed) << f.code() << " " << f.Where() << ": " << f.what;
  EXPECT_EQ(findings.toMend(), 0u);
  EXPECT_EQ(findings.allowed(), 1u);
}

}  // namespace
}  // namespace uninstdat
