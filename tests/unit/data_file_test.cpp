// The data file: alternates per family, entry kinds, the worked example,
// truncated files and the load.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/data_file.h"
#include "tests/unit/fake_platform.h"
#include "tests/unit/test_data.h"

namespace uninst {
namespace {

std::vector<std::string> ListOf(const RemovalList& list) {
  std::vector<std::string> paths;
  for (const char* p = list.First(); p; p = list.Next(p)) paths.push_back(p);
  return paths;
}

struct Parsed {
  std::vector<std::string> paths;
  UninstallData data;
};

class DataFileTest : public ::testing::Test {
 protected:
  DataFileTest() : state(platform) {
    strcpy(state.exeFolder, "C:\\Apps\\Widget");
    list.Attach(&platform);
  }
  // Parses from a block of exactly the file's size, so that a read past its
  // end shows under the address sanitizer.
  std::vector<std::string> Parse(const std::string& bytes) {
    block.assign(bytes.begin(), bytes.end());
    list.Clear();
    ParseDataFile(state, block.data(), static_cast<uint32_t>(block.size()), list);
    return ListOf(list);
  }
  FakePlatform platform;
  RunState state;
  RemovalList list;
  std::vector<char> block;
};

TEST_F(DataFileTest, AlternatesPerFamily) {
  struct Row { const char* entry; const char* unknown; const char* w95; const char* w98; const char* nt; };
  const Row rows[] = {
      {"a", "a", "a", "a", "a"},
      {"a;b", "a", "a", "a", "a"},
      {"a;b;", "a", "a", "a", "b"},
      {"a;;c;d", "a", "d", "c", "a"},
      {"a;b;c;d;e", "a", "d;e", "c", "b"},
      {"a;b;c", "a", "a", "a", "b"},
      {";;;x", "", "x", "", ""},
      {"a;b;;", "a", "a", "a", "b"},
  };
  for (const Row& row : rows) {
    const char* expected[4] = {row.unknown, row.w95, row.w98, row.nt};
    for (int32_t family = 0; family <= 3; ++family) {
      SCOPED_TRACE(std::string(row.entry) + " on family " + std::to_string(family));
      const char* end = row.entry + strlen(row.entry);
      TextRange chosen = ChooseAlternate(state.codePage, row.entry, end, family);
      EXPECT_EQ(std::string(chosen.begin, chosen.length), expected[family]);
    }
  }
}

TEST_F(DataFileTest, EntryKinds) {
  state.osFamily = kOsNt;
  struct Row { const char* name; std::string entries; std::vector<std::string> paths; };
  const Row rows[] = {
      {"empty entries", "", {}},
      {"no final bar", "a|b", {"C:\\Apps\\Widget\\a"}},
      {"empty default on NT", ";;;x|", {"C:\\Apps\\Widget\\"}},
      {"macro without backslash dropped", "<Win>|a|", {"C:\\Apps\\Widget\\a"}},
      {"drive path with < is a macro entry", "C:\\<x>\\a|", {"C:\\Apps\\Widget\\<x>\\a"}},
      {"single leading backslash is relative", "\\x|", {"C:\\Apps\\Widget\\\\x"}},
      {"drive-relative counts as absolute", "C:x.txt|", {"C:x.txt"}},
      {"UNC path", "\\\\srv\\share\\a|", {"\\\\srv\\share\\a"}},
      {"macro to an empty component", "<Win>\\|", {"C:\\WINNT\\"}},
      {"listed twice", "a|a|", {"C:\\Apps\\Widget\\a", "C:\\Apps\\Widget\\a"}},
      {"relative path too long is dropped", std::string(250, 'r') + "|b|", {"C:\\Apps\\Widget\\b"}},
      {"absolute path keeps its length", "D:\\" + std::string(300, 'a') + "|", {"D:\\" + std::string(300, 'a')}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Parse(MakeDataFile(0, row.entries)), row.paths);
  }
}

TEST_F(DataFileTest, DoubleByteSeparatorsAreCharacters) {
  platform.leadBytes = {0x81};
  state.codePage = CodePage(platform);
  state.osFamily = kOsNt;
  // The trail byte of \x81| is no entry end, and of \x81; no alternate split;
  // but a macro entry's backslash is a byte: "<x\x81" is its first component.
  EXPECT_EQ(Parse(MakeDataFile(0, "D:\\\x81|x|D:\\\x81;y;z;|<x\x81\\y|")),
            (std::vector<std::string>{"D:\\\x81|x", "C:\\Apps\\Widget\\z",
                                      "C:\\Apps\\Widget\\y"}));
}

TEST_F(DataFileTest, WorkedExample) {
  const std::string entries =
      "widget.exe|help\\widget.hlp|<Sys>\\wdgt.dll;<Sys32>\\wdgt.dll;|"
      "<Win>\\wdgt.ini;;;<Win>\\wdgt95.ini|;;;<Win>\\legacy.ini|<WinTemp>\\wdgt.tmp|"
      "D:\\Shared\\widget.ini|<Fonts>\\wdgt.ttf|<Win>|<Extra>\\x.txt|notes.txt";
  const std::string file = MakeDataFile(
      1, entries,
      {"", "Widget", "Widget;", "", "Widget;Widget Help;", "", "Widget Setup", "Remove Widget?",
       "Close Widget.", "Widget was removed.", "", "Restart now?"});

  state.osFamily = kOsNt;
  EXPECT_EQ(Parse(file), (std::vector<std::string>{
                             "C:\\Apps\\Widget\\widget.exe", "C:\\Apps\\Widget\\help\\widget.hlp",
                             "C:\\WINNT\\System32\\wdgt.dll", "C:\\WINNT\\wdgt.ini",
                             "C:\\Apps\\Widget\\", "C:\\TEMP\\wdgt.tmp", "D:\\Shared\\widget.ini",
                             "C:\\WINNT\\Fonts\\wdgt.ttf", "C:\\Apps\\Widget\\x.txt"}));
  EXPECT_EQ(state.data.allUsers, 1u);
  EXPECT_STREQ(state.data.programGroup, "Widget");
  EXPECT_STREQ(state.data.startMenuShortcuts, "Widget;Widget Help;");
  EXPECT_STREQ(state.data.messageCaption, "Widget Setup");
  EXPECT_STREQ(state.data.restartPrompt, "Restart now?");

  platform.windowsDir = "C:\\WINDOWS";
  platform.systemDir = "C:\\WINDOWS\\System";
  state.osFamily = kOsWin95;
  EXPECT_EQ(Parse(file), (std::vector<std::string>{
                             "C:\\Apps\\Widget\\widget.exe", "C:\\Apps\\Widget\\help\\widget.hlp",
                             "C:\\WINDOWS\\System\\wdgt.dll", "C:\\WINDOWS\\wdgt95.ini",
                             "C:\\WINDOWS\\legacy.ini", "C:\\TEMP\\wdgt.tmp", "D:\\Shared\\widget.ini",
                             "C:\\WINDOWS\\Fonts\\wdgt.ttf", "C:\\Apps\\Widget\\x.txt"}));
}

TEST_F(DataFileTest, AnyNonzeroWordIsAllUsers) {
  for (uint32_t word : {1u, 0x100u, 0x80000000u}) {
    Parse(MakeDataFile(word, ""));
    EXPECT_EQ(state.data.allUsers, word);
  }
}

TEST_F(DataFileTest, TruncatedFilesAreParsedAsFarAsTheyGo) {
  std::vector<std::string> fields = {"HKEY_CURRENT_USER\\x;|", "Group", "d;", "s;", "m;", "u;",
                                     "Caption", "Confirm?", "Running", "Closing", "Reserved", "Restart?"};
  const std::string file = MakeDataFile(1, "a|b|", fields);
  const std::vector<const char* UninstallData::*> members = {
      &UninstallData::registryList, &UninstallData::programGroup, &UninstallData::desktopShortcuts,
      &UninstallData::sendToShortcuts, &UninstallData::startMenuShortcuts,
      &UninstallData::startupShortcuts, &UninstallData::messageCaption, &UninstallData::confirmPrompt,
      &UninstallData::runningPrompt, &UninstallData::closingMessage, &UninstallData::reservedText,
      &UninstallData::restartPrompt};
  for (size_t cut = 0; cut <= file.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    std::vector<std::string> paths = Parse(file.substr(0, cut));
    EXPECT_EQ(state.data.allUsers, cut >= 4 ? 1u : 0u);
    EXPECT_EQ(paths.size(), cut >= 9 ? 2u : 0u);  // entries complete with their NUL
    size_t end = 9;
    for (size_t i = 0; i < fields.size(); ++i) {
      end += fields[i].size() + 1;
      std::string expected = cut >= end ? fields[i] : "";
      EXPECT_EQ(std::string(state.data.*members[i]), expected) << "field " << i;
    }
  }
}

TEST_F(DataFileTest, GarbageWithoutAnyNul) {
  std::string noise(1000, '|');
  for (size_t i = 0; i < noise.size(); i += 7) noise[i] = '<';
  EXPECT_TRUE(Parse(noise).empty());
  EXPECT_STREQ(state.data.messageCaption, "");
}

TEST_F(DataFileTest, LoadReadsWholeFileOrNothing) {
  const std::string path = "C:\\Apps\\Widget\\uninst.dat";
  DataBlock block;
  EXPECT_FALSE(LoadDataFile(state, path.c_str(), list, &block)) << "missing";
  platform.AddFile(path, "");
  EXPECT_FALSE(LoadDataFile(state, path.c_str(), list, &block)) << "empty";
  platform.AddFile(path, MakeDataFile(0, "a|", {"", "", "", "", "", "", "Cap"}));
  platform.locked.insert(FakePlatform::Upper(path));
  EXPECT_FALSE(LoadDataFile(state, path.c_str(), list, &block)) << "not openable";
  platform.locked.clear();
  platform.heapFailAfter = 0;
  EXPECT_FALSE(LoadDataFile(state, path.c_str(), list, &block)) << "no memory";
  platform.heapFailAfter = -1;
  platform.readFailsAt[FakePlatform::Upper(path)] = 5;
  EXPECT_FALSE(LoadDataFile(state, path.c_str(), list, &block)) << "short read";
  EXPECT_TRUE(list.IsEmpty()) << "a short block is not parsed";
  EXPECT_EQ(platform.globalBlocks, 0);
  platform.readFailsAt.clear();
  ASSERT_TRUE(LoadDataFile(state, path.c_str(), list, &block));
  EXPECT_EQ(ListOf(list), std::vector<std::string>{"C:\\Apps\\Widget\\a"});
  EXPECT_STREQ(state.data.messageCaption, "Cap");
  ReleaseDataBlock(platform, &block);
  EXPECT_EQ(platform.globalBlocks, 0);
}

}  // namespace
}  // namespace uninst
