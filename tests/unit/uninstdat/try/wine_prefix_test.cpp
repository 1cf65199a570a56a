// The prefix as each family and build see it, and a stage laid out onto
// it without ever replacing what the pristine prefix has.
#include "tools/uninstdat/try/wine_prefix.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace uninstdat {
namespace {

namespace fs = std::filesystem;

TEST(WinePrefixTest, MapsTheStagesViewToWhereEachFamilyAndBuildFindIt) {
  const struct {
    uninst::OsFamilyValue family;
    bool wow64;
    const char* path;
    const char* mapped;
  } rows[] = {
      {uninst::kOsNt, true, "C:\\Windows\\System32\\w.dll", "C:\\windows\\syswow64\\w.dll"},
      {uninst::kOsNt, false, "c:\\WINDOWS\\system32\\w.dll", "C:\\windows\\system32\\w.dll"},
      {uninst::kOsWin98, true, "C:\\Windows\\System32\\w.dll", "C:\\windows\\system\\w.dll"},
      {uninst::kOsWin95, false, "C:\\Windows\\System32", "C:\\windows\\system"},
      {uninst::kOsNt, true, "C:\\Program Files\\Widget\\a", "C:\\Program Files (x86)\\Widget\\a"},
      {uninst::kOsWin95, true, "C:\\program files", "C:\\Program Files (x86)"},
      {uninst::kOsNt, false, "C:\\Program Files\\Widget", "C:\\Program Files\\Widget"},
      {uninst::kOsNt, true, "C:\\Program Files (x86)\\W", "C:\\Program Files (x86)\\W"},
      {uninst::kOsNt, true, "C:\\Windows\\System32x\\a", "C:\\Windows\\System32x\\a"},
      {uninst::kOsNt, true, "D:\\Windows\\System32\\a", "D:\\Windows\\System32\\a"},
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
    fs::create_symlink("/sandbox/prefix/drive_c/users/u/Loop", root_ + "/lower/prefix/drive_c/users/u/Loop");
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
      {"C:\\users\\u\\Loop\\x", false, "", false, "the link C:\\users\\u\\Loop leads through more than 16 links"},
      {"C:\\a\\..\\windows\\x", false, "", false, "\".\" or \"..\""},
  };
  PrefixLayout layout(root_ + "/lower/prefix", root_ + "/lower/home", root_ + "/layer/prefix", root_ + "/layer/home");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    Result<Placed> placed = layout.Place(row.path, row.folder ? "" : root_ + "/stage/source", false);
    if (row.error) {
      ASSERT_FALSE(placed);
      EXPECT_EQ(placed.failure().code, Exit::kBadInput);
      EXPECT_NE(placed.failure().message.find(row.error), std::string::npos) << placed.failure().message;
      continue;
    }
    ASSERT_TRUE(placed) << placed.failure().message;
    EXPECT_EQ(placed->location.root + ":" + placed->location.path, row.where);
    EXPECT_EQ(placed->existed, row.existed);
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

}  // namespace
}  // namespace uninstdat
