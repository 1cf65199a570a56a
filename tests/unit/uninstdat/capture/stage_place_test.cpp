// The prefix's folders mapped back to the stage's one view, and registry
// keys named as the installer named them: a wrong row puts a captured file
// where try lays out another folder, or a key where the uninstaller never
// looks.
#include "tools/uninstdat/capture/stage_place.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

TEST(StagePlaceTest, PrefixFoldersMapBackToTheStage) {
  const struct {
    const char* name;
    bool wow64;
    Location where;
    StagePlace::Kind kind;
    const char* stage;
    bool allUsers;
  } rows[] = {
      {"32-bit Program Files", true, {"C", "Program Files (x86)/Acme/a.exe"}, StagePlace::kStage, "files/C/Program Files/Acme/a.exe", false},
      {"any case", true, {"C", "PROGRAM FILES (X86)/Acme"}, StagePlace::kStage, "files/C/Program Files/Acme", false},
      {"64-bit Program Files from a 32-bit installer", true, {"C", "Program Files/Acme/a.exe"}, StagePlace::kOtherView, "", false},
      {"64-bit installer's Program Files", false, {"C", "Program Files/Acme/a.exe"}, StagePlace::kStage, "files/C/Program Files/Acme/a.exe", false},
      {"32-bit Program Files from a 64-bit installer", false, {"C", "Program Files (x86)/Acme"}, StagePlace::kOtherView, "", false},
      {"a name that only begins like Program Files", true, {"C", "Program Files (x86)x/a"}, StagePlace::kStage, "files/C/Program Files (x86)x/a", false},
      {"SysWOW64 of a 32-bit installer", true, {"C", "windows/syswow64/acme.dll"}, StagePlace::kStage, "files/C/Windows/System32/acme.dll", false},
      {"System32 from a 32-bit installer", true, {"C", "windows/system32/acme.dll"}, StagePlace::kOtherView, "", false},
      {"System32 of a 64-bit installer", false, {"C", "windows/system32/acme.dll"}, StagePlace::kStage, "files/C/Windows/System32/acme.dll", false},
      {"fonts", true, {"C", "windows/Fonts/acme.ttf"}, StagePlace::kStage, "files/C/Windows/Fonts/acme.ttf", false},
      {"the Windows folder", true, {"C", "windows/acme.ini"}, StagePlace::kStage, "files/C/Windows/acme.ini", false},
      {"another folder of C:", true, {"C", "Acme/data.bin"}, StagePlace::kStage, "files/C/Acme/data.bin", false},
      {"ProgramData outside the Start Menu", true, {"C", "ProgramData/Acme/x"}, StagePlace::kStage, "files/C/ProgramData/Acme/x", false},
      {"all users' group", true, {"C", "ProgramData/Microsoft/Windows/Start Menu/Programs/Acme/A.lnk"}, StagePlace::kStage, "shell/Programs/Acme/A.lnk", true},
      {"all users' Startup", true, {"C", "ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp/A.lnk"}, StagePlace::kStage, "shell/Startup/A.lnk", true},
      {"all users' Start Menu", true, {"C", "ProgramData/Microsoft/Windows/Start Menu/A.lnk"}, StagePlace::kStage, "shell/StartMenu/A.lnk", true},
      {"all users' Desktop", true, {"C", "users/Public/Desktop/A.lnk"}, StagePlace::kStage, "shell/Desktop/A.lnk", true},
      {"the user's group", true, {"C", "users/joe/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Acme/A.lnk"}, StagePlace::kStage, "shell/Programs/Acme/A.lnk", false},
      {"the user's Startup", true, {"C", "users/joe/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp/A.lnk"}, StagePlace::kStage, "shell/Startup/A.lnk", false},
      {"the user's Start Menu", true, {"C", "users/joe/AppData/Roaming/Microsoft/Windows/Start Menu/A.lnk"}, StagePlace::kStage, "shell/StartMenu/A.lnk", false},
      {"SendTo", true, {"C", "users/joe/AppData/Roaming/Microsoft/Windows/SendTo/A.lnk"}, StagePlace::kStage, "shell/SendTo/A.lnk", false},
      {"the user's Desktop through HOME", true, {"HOME", "Desktop/A.lnk"}, StagePlace::kStage, "shell/Desktop/A.lnk", false},
      {"Documents in HOME", true, {"HOME", "Documents/notes.txt"}, StagePlace::kProfile, "", false},
      {"the user's settings", true, {"C", "users/joe/AppData/Roaming/Acme/settings.ini"}, StagePlace::kProfile, "", false},
      {"the user's Temp", true, {"C", "users/joe/Temp/nsa1.tmp"}, StagePlace::kProfile, "", false},
      {"another user's Start Menu", true, {"C", "users/ann/AppData/Roaming/Microsoft/Windows/Start Menu/A.lnk"}, StagePlace::kProfile, "", false},
      {"Public Documents", true, {"C", "users/Public/Documents/a.txt"}, StagePlace::kProfile, "", false},
      {"drive D:", true, {"D", "Acme/a.txt"}, StagePlace::kOtherDrive, "", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    StagePlace place = PlaceInStage(row.where, {"joe", row.wow64});
    EXPECT_EQ(place.kind, row.kind);
    if (row.kind != StagePlace::kStage) continue;
    EXPECT_EQ(place.stagePath, row.stage);
    EXPECT_EQ(place.shell, std::string(row.stage).compare(0, 6, "shell/") == 0);
    EXPECT_EQ(place.allUsers, row.allUsers);
  }
}

TEST(StagePlaceTest, WindowsPathsAsThePrefixNamesThem) {
  EXPECT_EQ(PrefixWindowsPath({"C", "Program Files (x86)/Acme/a.exe"}, {"joe", true}), "C:\\Program Files (x86)\\Acme\\a.exe");
  EXPECT_EQ(PrefixWindowsPath({"HOME", "Desktop/A.lnk"}, {"joe", true}), "C:\\users\\joe\\Desktop\\A.lnk");
  EXPECT_EQ(PrefixWindowsPath({"D", "x"}, {"joe", true}), "D:\\x");
}

TEST(StagePlaceTest, KeysAreNamedAsTheInstallerNamedThem) {
  const struct {
    const char* name;
    bool wow64;
    const char* stored;
    const char* named;
  } rows[] = {
      {"32-bit view", true, "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme\\Notes", "HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes"},
      {"any case", true, "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\Acme", "HKEY_LOCAL_MACHINE\\Software\\Acme"},
      {"32-bit classes", true, "HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\{1}", "HKEY_CLASSES_ROOT\\CLSID\\{1}"},
      {"shared classes", true, "HKEY_LOCAL_MACHINE\\Software\\Classes\\.acn", "HKEY_CLASSES_ROOT\\.acn"},
      {"the user's 32-bit classes", true, "HKEY_CURRENT_USER\\Software\\Classes\\Wow6432Node\\X", "HKEY_CURRENT_USER\\Software\\Classes\\X"},
      {"a shared key", true, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
      {"the user's", true, "HKEY_CURRENT_USER\\Software\\Acme", "HKEY_CURRENT_USER\\Software\\Acme"},
      {"a name that only begins like the 32-bit view", true, "HKEY_LOCAL_MACHINE\\Software\\Wow6432NodeX", "HKEY_LOCAL_MACHINE\\Software\\Wow6432NodeX"},
      {"the 32-bit view from a 64-bit installer", false, "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme", ""},
      {"64-bit installer's own", false, "HKEY_LOCAL_MACHINE\\Software\\Acme", "HKEY_LOCAL_MACHINE\\Software\\Acme"},
      {"64-bit installer's classes", false, "HKEY_LOCAL_MACHINE\\Software\\Classes\\.acn", "HKEY_CLASSES_ROOT\\.acn"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(KeyAsNamed(row.stored, {"joe", row.wow64}), row.named);
  }
}

}  // namespace
}  // namespace uninstdat
