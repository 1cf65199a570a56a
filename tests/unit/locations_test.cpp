// Location macros, special-folder names and path joining.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/locations.h"
#include "tests/unit/fake_platform.h"

namespace uninst {
namespace {

const char kCurrentVersion[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

TEST(AppendPathComponentTest, Joins) {
  FakePlatform platform;
  platform.leadBytes = {0x83};
  const CodePage dbcs(platform), sbcs;
  struct Row { const char* path; const char* component; const char* expected; bool dbcs; };
  const Row rows[] = {
      {"", "a", "a", false},
      {"C:\\Apps", "x.txt", "C:\\Apps\\x.txt", false},
      {"C:\\TEMP\\", "x.tmp", "C:\\TEMP\\x.tmp", false},
      {"C:/Apps/", "x", "C:/Apps/x", false},
      {"C:\\Apps", "", "C:\\Apps\\", false},
      {"C:\\Apps", "\\x", "C:\\Apps\\\\x", false},
      {"C:\\\x83\\", "x", "C:\\\x83\\x", false},  // 0x83 no lead byte: "\" ends it
      // "\x83\\" is one character whose trail byte equals "\": no separator,
      // so one is added, else "x" would be glued to the folder's name.
      {"C:\\\x83\\", "x", "C:\\\x83\\\\x", true},
      {"C:\\\x83\\\\", "x", "C:\\\x83\\\\x", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.path) + " + " + row.component);
    char buffer[kMaxPath];
    memset(buffer, 'Z', sizeof buffer);
    strcpy(buffer, row.path);
    ASSERT_TRUE(AppendPathComponent(row.dbcs ? dbcs : sbcs, buffer, row.component));
    EXPECT_STREQ(buffer, row.expected);
    EXPECT_EQ(buffer[strlen(buffer) + 1], '\0') << "second NUL";
  }
}

TEST(AppendPathComponentTest, RefusesWhatDoesNotFitAndLeavesBuffer) {
  char buffer[kMaxPath];
  std::string folder(200, 'f');
  strcpy(buffer, folder.c_str());
  EXPECT_TRUE(AppendPathComponent(CodePage(), buffer, std::string(57, 'c').c_str()));  // 258
  strcpy(buffer, folder.c_str());
  EXPECT_FALSE(AppendPathComponent(CodePage(), buffer, std::string(58, 'c').c_str()));  // 259
  EXPECT_EQ(std::string(buffer), folder);
}

class ResolveTest : public ::testing::Test {
 protected:
  ResolveTest() : state(platform) {
    strcpy(state.exeFolder, "C:\\Apps\\Widget");
    platform.shellFolders[kCsidlFonts] = "C:\\WINNT\\Fonts";
    platform.systemDir = "C:\\WINNT\\system32";  // as the system spells it
    platform.SetValue(kCurrentVersion, "ProgramFilesDir", std::string("C:\\Program Files\0", 17));
    platform.SetValue(kCurrentVersion, "CommonFilesDir", "C:\\Program Files\\Common Files");
  }
  std::string Resolve(const char* path) {
    const char* folder = ResolveLocationMacro(state, path);
    return folder ? folder : "<none>";
  }
  FakePlatform platform;
  RunState state;
};

TEST_F(ResolveTest, Macros) {
  struct Row { const char* path; const char* expected; };
  const Row rows[] = {
      {"<Exe>\\a", "C:\\Apps\\Widget"},
      {"<InstallFolder>\\a", "C:\\Apps\\Widget"},
      {"<Win>\\a", "C:\\WINNT"},
      {"<WIN>\\a", "C:\\WINNT"},
      {"<Sys>\\a", "C:\\WINNT\\System"},
      {"<Sys32>\\a", "C:\\WINNT\\System32"},
      {"<Autosys>\\a", "C:\\WINNT\\system32"},
      {"<Fonts>\\a", "C:\\WINNT\\Fonts"},
      {"<wintemp>\\x.tmp", "C:\\TEMP\\"},
      {"<ProgramFiles>\\a", "C:\\Program Files"},
      {"<CommonFiles>\\a", "C:\\Program Files\\Common Files"},
      {"<Win>x\\a.txt", "C:\\Apps\\Widget"},  // not the whole component
      {"<Win> \\a", "C:\\Apps\\Widget"},
      {"<Extra>\\x", "C:\\Apps\\Widget"},
      {"\\a", "C:\\Apps\\Widget"},
      {"", "C:\\Apps\\Widget"},
      {"<Win>\\<Sys>\\a", "C:\\WINNT"},  // only the first component counts
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(Resolve(row.path), row.expected);
  }
}

TEST_F(ResolveTest, FallbacksAndRefusals) {
  platform.shellFolders.clear();
  platform.windowsDir = "C:\\WINDOWS";
  EXPECT_EQ(Resolve("<Fonts>\\a"), "C:\\WINDOWS\\Fonts");

  platform.tempDir = "";  // GetTempPathA returns 0
  EXPECT_EQ(Resolve("<WinTemp>\\a"), "C:\\Apps\\Widget");
  platform.tempPathResult = 300;  // needs a larger buffer: never cut
  EXPECT_EQ(Resolve("<WinTemp>\\a"), "<none>");

  FakePlatform bare;  // no ProgramFilesDir or CommonFilesDir values
  RunState bareState(bare);
  EXPECT_EQ(ResolveLocationMacro(bareState, "<ProgramFiles>\\a"), nullptr);
  EXPECT_EQ(ResolveLocationMacro(bareState, "<CommonFiles>\\a"), nullptr);

  std::string longComponent = "<" + std::string(kMaxPath, 'x') + ">\\a";
  EXPECT_EQ(Resolve(longComponent.c_str()), "<none>");

  platform.windowsDir = "C:\\" + std::string(252, 'w');  // "System" no longer fits
  EXPECT_EQ(Resolve("<Sys32>\\a"), "<none>");
}

TEST_F(ResolveTest, SecondResolutionOverwritesTheFirst) {
  const char* first = ResolveLocationMacro(state, "<Win>\\a");
  std::string copy = first;
  ResolveLocationMacro(state, "<Sys32>\\a");
  EXPECT_NE(std::string(first), copy);
  EXPECT_EQ(ResolveLocationMacro(state, "<Exe>\\a"), state.exeFolder);
}

TEST(RegistryFolderTest, ValueMustBeTerminatedAndNotEmptyAndNeedsNoWriteAccess) {
  struct Row {
    const char* name;
    std::string data;
    bool limitedUser;
    bool ok;
    const char* expected;
  };
  const Row rows[] = {
      {"with terminator", std::string("C:\\PF\0", 6), false, true, "C:\\PF"},
      {"without terminator", "C:\\PF", false, true, "C:\\PF"},
      {"empty", std::string("\0", 1), false, false, ""},
      {"full 260 bytes without terminator", std::string(260, 'p'), false, false, ""},
      // RegCreateKeyA opens the key with what access there is; a limited
      // user may not open it for all access (RegOpenKeyExA, KEY_ALL_ACCESS).
      {"limited user", "C:\\PF", true, true, "C:\\PF"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatform platform;
    platform.SetValue(kCurrentVersion, "ProgramFilesDir", row.data);
    if (row.limitedUser) platform.unopenableKeys.insert(FakePlatform::Upper(kCurrentVersion));
    char out[kMaxPath] = "";
    EXPECT_EQ(ReadProgramFilesDir(platform, out), row.ok);
    if (row.ok) {
      EXPECT_STREQ(out, row.expected);
    }
  }
}

TEST(ShellFolderTest, EveryNameKindConverts) {
  for (uint32_t kind : {0u, 1u, 2u, 5u}) {
    SCOPED_TRACE(kind);
    FakePlatform platform;
    platform.displayNameKind = kind;
    platform.shellFolders[kCsidlPrograms] = "C:\\Start Menu\\Programs";
    char out[kMaxPath];
    ASSERT_TRUE(GetShellFolderPath(platform, kCsidlPrograms, out));
    EXPECT_STREQ(out, "C:\\Start Menu\\Programs");
  }
  FakePlatform platform;
  platform.displayNameKind = 3;
  platform.shellFolders[kCsidlPrograms] = "C:\\x";
  char out[kMaxPath];
  EXPECT_FALSE(GetShellFolderPath(platform, kCsidlPrograms, out));
  EXPECT_FALSE(GetShellFolderPath(platform, kCsidlStartup, out));  // no such folder
}

TEST(ShellFolderTest, NamesThatDoNotFitOrEndAreRefused) {
  FakePlatform platform;
  char out[kMaxPath];
  std::string longName(kMaxPath, 'n');  // 260 characters and the terminator
  for (uint32_t kind : {0u, 2u}) {
    platform.displayNameKind = kind;
    platform.shellFolders[kCsidlPrograms] = longName;
    EXPECT_FALSE(GetShellFolderPath(platform, kCsidlPrograms, out)) << kind;
  }
  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  DisplayName name = {};
  name.kind = 2;
  name.ansi = unterminated;
  name.ansiMax = 4;
  EXPECT_FALSE(StrRetToPath(platform, name, out));
  const uint16_t wide[2] = {'a', 'b'};
  name = {};
  name.kind = 5;
  name.wide = wide;
  name.wideMax = 2;
  EXPECT_FALSE(StrRetToPath(platform, name, out));
}

}  // namespace
}  // namespace uninst
