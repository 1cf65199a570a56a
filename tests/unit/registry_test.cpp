// The registry list walk (as actions, without a registry) and the deletions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/registry.h"
#include "tests/unit/fake_platform.h"

namespace uninst {
namespace {

std::vector<std::string> Walk(const std::string& list, const CodePage& codePage = CodePage()) {
  std::vector<char> copy(list.begin(), list.end());
  copy.push_back('\0');
  std::vector<std::string> actions;
  WalkRegistryList(codePage, copy.data(),
                   [](void* context, const RegistryAction& a) {
                     char root[16];
                     snprintf(root, sizeof root, "%X", static_cast<unsigned>(a.root));
                     static_cast<std::vector<std::string>*>(context)->push_back(
                         std::string(a.deleteTree ? "tree " : "value ") + root + " [" + a.subkey +
                         "] [" + a.valueName + "]");
                   },
                   &actions);
  return actions;
}

TEST(RegistryWalkTest, Entries) {
  struct Row { const char* name; std::string list; std::vector<std::string> actions; };
  const Row rows[] = {
      {"empty list", "", {}},
      {"no bar at all", "HKEY_CURRENT_USER\\Software\\W;", {}},
      {"tree", "HKEY_LOCAL_MACHINE\\Software\\Vendor\\Tool;|", {"tree 80000002 [Software\\Vendor\\Tool] []"}},
      {"value", "HKEY_CURRENT_USER\\Software\\W;Path|", {"value 80000001 [Software\\W] [Path]"}},
      {"last entry without bar", "HKEY_USERS\\a;|HKEY_USERS\\b;",
       {"tree 80000003 [a] []"}},
      {"root case", "hkey_classes_root\\.wdg;|HkEy_CuRrEnT_CoNfIg\\x;v|",
       {"tree 80000000 [.wdg] []", "value 80000005 [x] [v]"}},
      {"dyn data", "HKEY_DYN_DATA\\x;|", {"tree 80000006 [x] []"}},
      {"blank around root", " HKEY_USERS\\a;|HKEY_USERS \\a;|", {}},
      {"short root", "HKCU\\Software\\W;|", {}},
      {"performance data has no name", "HKEY_PERFORMANCE_DATA\\x;|", {}},
      {"no semicolon", "HKEY_CURRENT_USER\\Software\\W|", {}},
      {"root without backslash", "HKEY_CURRENT_USER;v|", {}},
      {"value name with semicolons", "HKEY_CURRENT_USER\\S\\W;a;b;|", {"value 80000001 [S\\W] [a;b;]"}},
      {"backslash after semicolon", "HKEY_CURRENT_USER;x\\y|", {}},
      {"empty subkey tree is skipped", "HKEY_CURRENT_USER\\;|", {}},
      {"empty subkey value is passed on", "HKEY_CURRENT_USER\\;v|", {"value 80000001 [] [v]"}},
      {"empty entries", "||HKEY_USERS\\a;|", {"tree 80000003 [a] []"}},
      {"same key twice", "HKEY_USERS\\a;|HKEY_USERS\\a;|", {"tree 80000003 [a] []", "tree 80000003 [a] []"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Walk(row.list), row.actions);
  }
}

// Windows defines the predefined keys as a LONG cast to a handle: on 64-bit
// builds they are sign-extended, and a zero-extended value is no key at all.
TEST(RegistryWalkTest, RootHandlesAreSignExtended) {
  const bool wide = sizeof(RegKey) == 8;
  EXPECT_EQ(LookupRootName("HKEY_LOCAL_MACHINE"),
            wide ? static_cast<RegKey>(0xFFFFFFFF80000002ull) : static_cast<RegKey>(0x80000002u));
  EXPECT_EQ(LookupRootName("HKEY_CLASSES_ROOT"),
            wide ? static_cast<RegKey>(0xFFFFFFFF80000000ull) : static_cast<RegKey>(0x80000000u));
}

TEST(RegistryWalkTest, DoubleByteSeparators) {
  FakePlatform platform;
  platform.leadBytes = {0x95};
  CodePage codePage(platform);
  // \x95\\ is one character: the subkey keeps it, and \x95| ends no entry.
  EXPECT_EQ(Walk("HKEY_USERS\\a\x95\\b\x95|c;|", codePage),
            std::vector<std::string>{"tree 80000003 [a\x95\\b\x95|c] []"});
}

class RegistryCleanTest : public ::testing::Test {
 protected:
  RegistryCleanTest() : state(platform) {
    platform.AddKey("HKLM\\Software\\Vendor\\Tool\\A\\A1");
    platform.AddKey("HKLM\\Software\\Vendor\\Tool\\B");
    platform.AddKey("HKLM\\Software\\Vendor\\Tool\\C");
    platform.SetValue("HKCU\\Software\\W", "a;b", "1");
    platform.SetValue("HKCU\\Software\\W", "a", "2");
    platform.SetValue("HKCU\\Software\\W", "b", "3");
  }
  FakePlatform platform;
  RunState state;
};

TEST_F(RegistryCleanTest, TreeAndValue) {
  state.data.registryList =
      "HKEY_LOCAL_MACHINE\\Software\\Vendor\\Tool;|HKEY_CURRENT_USER\\Software\\W;a;b|"
      "HKEY_CURRENT_USER\\Software\\Missing;|";
  CleanRegistry(state);
  EXPECT_FALSE(platform.KeyExists("HKLM\\Software\\Vendor\\Tool"));
  EXPECT_TRUE(platform.KeyExists("HKLM\\Software\\Vendor"));
  EXPECT_FALSE(platform.ValueExists("HKCU\\Software\\W", "a;b"));
  EXPECT_TRUE(platform.ValueExists("HKCU\\Software\\W", "a"));
  EXPECT_TRUE(platform.ValueExists("HKCU\\Software\\W", "b"));
  EXPECT_EQ(platform.heapBlocks, 0);
  EXPECT_EQ(platform.OpenKeys(), 0u);
}

TEST_F(RegistryCleanTest, TreeStopsAtFirstFailureAndKeepsTheKey) {
  platform.undeletableKeys.insert("HKLM\\SOFTWARE\\VENDOR\\TOOL\\B");
  EXPECT_EQ(DeleteRegistryTree(platform, kHkeyLocalMachine, "Software\\Vendor\\Tool"), 5);
  EXPECT_FALSE(platform.KeyExists("HKLM\\Software\\Vendor\\Tool\\A")) << "enumerated before";
  EXPECT_TRUE(platform.KeyExists("HKLM\\Software\\Vendor\\Tool\\B"));
  EXPECT_TRUE(platform.KeyExists("HKLM\\Software\\Vendor\\Tool\\C")) << "not tried";
  EXPECT_TRUE(platform.KeyExists("HKLM\\Software\\Vendor\\Tool"));
  // A subkey name over 254 characters does not fit RegEnumKeyA's size 255;
  // that status, too, ends the walk and keeps the key.
  const std::string longName = "HKLM\\Software\\Vendor\\Long\\" + std::string(255, 'k');
  platform.AddKey(longName);
  platform.AddKey("HKLM\\Software\\Vendor\\Long\\A");
  EXPECT_EQ(DeleteRegistryTree(platform, kHkeyLocalMachine, "Software\\Vendor\\Long"), 234);
  EXPECT_FALSE(platform.KeyExists("HKLM\\Software\\Vendor\\Long\\A"));
  EXPECT_TRUE(platform.KeyExists(longName));
  // Neither listed key was handed to RegDeleteKeyA, which on Windows 95
  // deletes a key with all its subkeys.
  for (const char* key : {"HKLM\\SOFTWARE\\VENDOR\\TOOL", "HKLM\\SOFTWARE\\VENDOR\\LONG"}) {
    const std::string call = std::string("RegDeleteKey ") + key;
    EXPECT_EQ(std::count(platform.log.begin(), platform.log.end(), call), 0) << call;
  }
}

TEST_F(RegistryCleanTest, KeysThatEnumerationOrOpeningRefuse) {
  // An enumeration that reports ERROR_BADKEY counts as "no more children".
  platform.badKeys.insert("HKLM\\SOFTWARE\\VENDOR\\TOOL\\C");
  EXPECT_EQ(DeleteRegistryTree(platform, kHkeyLocalMachine, "Software\\Vendor\\Tool\\C"), 0);
  EXPECT_FALSE(platform.KeyExists("HKLM\\Software\\Vendor\\Tool\\C"));
  // A childless key that the tree deletion cannot open still goes: the run
  // makes one more plain deletion of every listed key.
  platform.unopenableKeys.insert("HKLM\\SOFTWARE\\VENDOR\\TOOL\\B");
  state.data.registryList = "HKEY_LOCAL_MACHINE\\Software\\Vendor\\Tool\\B;|";
  CleanRegistry(state);
  EXPECT_FALSE(platform.KeyExists("HKLM\\Software\\Vendor\\Tool\\B"));
}

TEST_F(RegistryCleanTest, MissingKeyAndValueChangeNothing) {
  EXPECT_EQ(DeleteRegistryTree(platform, kHkeyCurrentUser, "Software\\Missing"), 2);
  EXPECT_NE(DeleteRegistryValue(platform, kHkeyCurrentUser, "Software\\W", "zzz"), 0);
  platform.SetValue("HKCU", "a", "directly under the root");
  EXPECT_NE(DeleteRegistryValue(platform, kHkeyCurrentUser, "", "a"), 0);
  EXPECT_TRUE(platform.ValueExists("HKCU", "a"));
  EXPECT_TRUE(platform.ValueExists("HKCU\\Software\\W", "a"));
}

}  // namespace
}  // namespace uninst
