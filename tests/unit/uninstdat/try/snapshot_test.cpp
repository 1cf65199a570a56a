// Snapshots that no name can forge, and Wine's registry files read as Wine
// writes them.
#include "tools/uninstdat/try/snapshot.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

std::string Records(std::initializer_list<std::string> fields) {
  std::string bytes;
  for (const std::string& field : fields) bytes += field + '\0';
  return bytes;
}

TEST(SnapshotTest, SnapshotRecordsCannotBeForgedByNames) {
  // A name holding a line end and what looks like another record stays one
  // name; a record cut short is refused.
  std::string bytes = Records({"C", "f", "a\nd windows\\win.ini", "", "C", "d", "windows", "", "HOME", "l",
                               "Desktop", "/sandbox/home/Desktop"});
  FileSnapshot snapshot;
  ASSERT_TRUE(ReadFileSnapshot(bytes, &snapshot));
  ASSERT_EQ(snapshot.size(), 3u);
  EXPECT_EQ(snapshot.count({"C", "a\nd windows\\win.ini"}), 1u);
  EXPECT_EQ(snapshot.at({"HOME", "Desktop"}).target, "/sandbox/home/Desktop");
  EXPECT_FALSE(ReadFileSnapshot(bytes.substr(0, bytes.size() - 1), &snapshot));
}

TEST(SnapshotTest, WineHiveNamesAreReadAsWineWritesThem) {
  const struct {
    const char* name;
    const char* line;  // after a key line [Software\\W] 1
    RegistryName expected;
  } rows[] = {
      {"key with ancestors", "[Software\\\\W\\\\Deep\\\\Er] 1", {"HKEY_CURRENT_USER\\Software\\W\\Deep", "", false}},
      {"bracket in a key", "[Software\\\\a\\]b] 1", {"HKEY_CURRENT_USER\\Software\\a]b", "", false}},
      {"quote in a value", "\"a\\\"b\"=\"x\"", {"HKEY_CURRENT_USER\\Software\\W", "a\"b", true}},
      {"line end in a value", "\"a\\nb\"=dword:00000001", {"HKEY_CURRENT_USER\\Software\\W", "a\nb", true}},
      {"hex character", "\"caf\\xe9\"=\"\"", {"HKEY_CURRENT_USER\\Software\\W", "caf\xC3\xA9", true}},
      {"four hex digits before a hex digit", "\"\\x00e9e\"=\"\"", {"HKEY_CURRENT_USER\\Software\\W", "\xC3\xA9" "e", true}},
      {"a pair of surrogates", "\"\\xd83d\\xde00\"=\"\"", {"HKEY_CURRENT_USER\\Software\\W", "\xF0\x9F\x98\x80", true}},
      {"default value", "@=\"x\"", {"HKEY_CURRENT_USER\\Software\\W", "@", true}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RegistrySnapshot snapshot;
    ReadWineHive(std::string("WINE REGISTRY Version 2\n\n[Software\\\\W] 1\n#time=1\n") + row.line + "\n",
                 "HKEY_CURRENT_USER", &snapshot);
    EXPECT_EQ(snapshot.count(row.expected), 1u);
    EXPECT_EQ(snapshot.count({"HKEY_CURRENT_USER\\Software", "", false}), 1u);  // never written, still there
    EXPECT_EQ(snapshot.count({"HKEY_CURRENT_USER", "", false}), 0u);            // the root is no item
  }
}

}  // namespace
}  // namespace uninstdat
