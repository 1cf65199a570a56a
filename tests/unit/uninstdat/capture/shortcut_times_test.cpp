// Shortcuts without the shell's times, so that the same installer gives the
// same stage; nothing but the times may change, and nothing that is no
// well-formed shortcut.
#include "tools/uninstdat/capture/shortcut_times.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

void Put16(std::string* bytes, size_t at, size_t value) {
  (*bytes)[at] = static_cast<char>(value & 0xFF);
  (*bytes)[at + 1] = static_cast<char>(value >> 8);
}

// A folder item as Wine's shell writes it: its DOS time, its name, then a
// block with the creation and access times; `name` sets the alignment.
std::string FolderItem(const std::string& name, char time) {
  std::string item(14, '\0');
  item[2] = '\x31';
  item.replace(8, 4, 4, time);
  item[12] = '\x10';
  item += name + '\0';
  if (item.size() % 2) item += '\0';
  std::string block(16, '\0');
  Put16(&block, 0, 16 + 2 * (name.size() + 1));
  block.replace(8, 8, 8, time);
  for (char c : name) block += std::string{c, '\0'};
  block += std::string(2, '\0');
  item += block;
  Put16(&item, 0, item.size());
  return item;
}

std::string Shortcut(char time) {
  std::string header("\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 20);
  header += std::string(0x4C - header.size(), '\0');
  header[0x14] = '\x01';  // an item list follows
  header.replace(0x1C, 24, 24, time);
  std::string root(20, '\x01');
  Put16(&root, 0, 20);
  root[2] = '\x1F';
  std::string items = root + FolderItem("Program Files", time) + FolderItem("Acme", time) + std::string(2, '\0');
  std::string size(2, '\0');
  Put16(&size, 0, items.size());
  return header + size + items + "tail";
}

TEST(ShortcutTimesTest, TheSameShortcutWhateverItsTimes) {
  std::string early = Shortcut('\x11'), late = Shortcut('\x22');
  ASSERT_NE(early, late);
  std::string a = ShortcutWithoutTimes(early), b = ShortcutWithoutTimes(late);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.size(), early.size());
  // Nothing else changed: the names, the root item, the tail.
  EXPECT_NE(a.find("Program Files"), std::string::npos);
  EXPECT_NE(a.find("Acme"), std::string::npos);
  EXPECT_EQ(a.compare(a.size() - 4, 4, "tail"), 0);
  EXPECT_EQ(a.find(std::string(20, '\x01').substr(3)), early.find(std::string(20, '\x01').substr(3)));
  EXPECT_EQ(a.find('\x11'), std::string::npos);  // no time left
}

TEST(ShortcutTimesTest, LeavesAloneWhatIsNoWellFormedShortcut) {
  const struct {
    const char* name;
    std::string bytes;
  } rows[] = {
      {"no shortcut", "hello, world" + std::string(100, 'x')},
      {"too short", Shortcut('\x11').substr(0, 0x40)},
      {"an item list beyond the end", [] { std::string s = Shortcut('\x11'); Put16(&s, 0x4C, 0xFFFF); return s; }()},
      {"an item beyond its list", [] { std::string s = Shortcut('\x11'); Put16(&s, 0x4E, 0x7FFF); return s; }()},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::string out = ShortcutWithoutTimes(row.bytes);
    EXPECT_EQ(out, row.bytes);
  }
  // Without an item list only the header's times go.
  std::string plain = Shortcut('\x11');
  plain[0x14] = 0;
  std::string out = ShortcutWithoutTimes(plain);
  EXPECT_EQ(out.substr(0x1C, 24), std::string(24, '\0'));
  EXPECT_EQ(out.substr(0x34), plain.substr(0x34));
}

}  // namespace
}  // namespace uninstdat
