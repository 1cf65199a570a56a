// The way back from a data file to a manifest: show, then build, gives the
// same bytes (also in a double-byte code page), and show is a fixed point.
#include "tools/uninstdat/shown_manifest.h"

#include <gtest/gtest.h>

#include "tests/unit/uninstdat/test_files.h"
#include "tools/uninstdat/system/io.h"

namespace uninstdat {
namespace {

Json Show(const std::string& bytes, int codePage = 1252) {
  std::string text;
  WriteShownManifest(bytes, TargetCodePage(codePage), [&](std::string_view part) {
    text.append(part);
    return true;
  });
  return Json::parse(text);
}

TEST(ShownManifestTest, ManifestToFileToManifest) {
  Json manifest = Example();
  std::string bytes = Bytes(manifest);
  Json shown = Show(bytes);
  EXPECT_EQ(shown["removalEntries"], manifest["removalEntries"]);
  EXPECT_EQ(shown["confirmPrompt"], manifest["confirmPrompt"]);
  EXPECT_EQ(shown["trailing"], manifest["trailing"]);
  EXPECT_EQ(Bytes(shown), bytes);
  EXPECT_EQ(Show(Bytes(shown)), shown) << "show is a fixed point";
}

TEST(ShownManifestTest, FileToManifestToFileIsByteExact) {
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

TEST(ShownManifestTest, DoubleByteTextsConvert) {
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

// What show writes, build must read back: a manifest of kMaxInputBytes
// fits, one byte more does not. The caption's letters are written as they
// are, so its length sets the manifest's size byte for byte.
TEST(ShownManifestTest, FitsWhatBuildReads) {
  auto file = [](size_t letters) {
    std::vector<std::string> texts(uninst::kDataTextCount);
    texts[static_cast<size_t>(DataText::kMessageCaption)] = std::string(letters, 'a');
    return File(std::string(4, '\0'), texts);
  };
  auto size = [](const std::string& bytes) {
    size_t n = 0;
    WriteShownManifest(bytes, TargetCodePage(1252), [&](std::string_view part) { return n += part.size(), true; });
    return n;
  };
  const size_t base = size(file(0));
  ASSERT_EQ(size(file(10)), base + 10);
  const size_t most = kMaxInputBytes - base;
  EXPECT_TRUE(ShownManifestFits(file(most), TargetCodePage(1252)));
  EXPECT_FALSE(ShownManifestFits(file(most + 1), TargetCodePage(1252)));
}

}  // namespace
}  // namespace uninstdat
