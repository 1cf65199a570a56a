// Positions in a manifest's text: a finding points at the line and column
// an author edits, whatever the layout, the line ends, the characters and
// the escapes of the text.
#include "tools/uninstdat/manifest_positions.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

TEST(ManifestPositionsTest, FindsKeysItemsAndTrailingKeys) {
  enum Kind { kKey, kItem, kMember, kRoot };
  struct Row {
    const char* name;
    std::string text;
    Kind kind;
    std::string field;
    size_t index;       // kItem
    std::string key;    // kMember
    uint32_t line = 0;  // 0: absent
    uint32_t column = 0;
  };
  const std::string entries = "{\n  \"removalEntries\": [\n    \"a.txt\",\n    \"a.txt\"\n  ]\n}\n";
  const Row rows[] = {
      {"a key", entries, kKey, "removalEntries", 0, "", 2, 3},
      {"an entry listed twice: the first", entries, kItem, "removalEntries", 0, "", 3, 5},
      {"an entry listed twice: the second, a line below", entries, kItem, "removalEntries", 1, "", 4, 5},
      {"no item past the list's end", entries, kItem, "removalEntries", 2, ""},
      {"no key that the manifest leaves out", entries, kKey, "registryList", 0, ""},
      {"the root after blanks", "\n\n  {}", kRoot, "", 0, "", 3, 3},
      {"items on one line by column", "{\"programGroup\": \"G\", \"startupShortcuts\": [\"a\", 7, true]}", kItem,
       "startupShortcuts", 2, "", 1, 52},
      {"CR LF is one line end", "{\r\n\"desktopShortcuts\":\r\n[\r\n\"a\"]}", kItem, "desktopShortcuts", 0, "", 4, 1},
      {"a lone CR ends a line", "{\r\"desktopShortcuts\":\r[\"a\"]}", kItem, "desktopShortcuts", 0, "", 3, 2},
      {"columns count characters, not bytes", "{\"messageCaption\": \"\xC3\xA9\xE2\x82\xAC\", \"programGroup\": \"G\"}",
       kKey, "programGroup", 0, "", 1, 26},
      {"a byte-order mark is no column", "\xEF\xBB\xBF{\"programGroup\": \"G\"}", kKey, "programGroup", 0, "", 1, 2},
      {"an escaped key is the field it spells", "{\"removal\\u0045ntries\": [\"x\"]}", kItem, "removalEntries", 0, "",
       1, 26},
      {"brackets, commas and quotes inside texts are text",
       "{\"removalEntries\": [\"a[,]{\\\"\\\\\", \"b\"]}", kItem, "removalEntries", 1, "", 1, 34},
      {"an entry of alternates is one item, its keys no fields",
       "{\"removalEntries\": [{\"default\": \"a\", \"nt\": [1]},\n \"b\"], \"nt\": 1}", kItem, "removalEntries", 1, "", 2,
       2},
      {"keys inside an item are not the list's members",
       "{\"removalEntries\": [{\"default\": \"a\"}]}", kMember, "removalEntries", 0, "default"},
      {"a key of trailing", "{\"trailing\": {\n  \"endOfFile\": \"\", \"removalEntries\": \"x\"}}", kMember, "trailing",
       0, "removalEntries", 2, 20},
      {"the text ends at a NUL, as the JSON reader's does",
       std::string("{\"desktopShortcuts\": [\"a\"]}\0{\"desktopShortcuts\": [\"b\", \"c\"]}", 60), kItem,
       "desktopShortcuts", 1, ""},
      {"a top-level key is found past a nested one of the same name",
       "{\"trailing\": {\"programGroup\": 1}, \"programGroup\": \"G\"}", kKey, "programGroup", 0, "", 1, 35},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ManifestPositions positions = ManifestPositions::Of(row.text);
    std::optional<TextPosition> at;
    if (row.kind == kKey) at = positions.Key(row.field);
    if (row.kind == kItem) at = positions.Item(row.field, row.index);
    if (row.kind == kMember) at = positions.MemberKey(row.field, row.key);
    if (row.kind == kRoot) at = positions.Root();
    if (!row.line) {
      EXPECT_FALSE(at) << at->line << ":" << at->column;
      continue;
    }
    ASSERT_TRUE(at);
    EXPECT_EQ(at->line, row.line);
    EXPECT_EQ(at->column, row.column);
  }
}

}  // namespace
}  // namespace uninstdat
