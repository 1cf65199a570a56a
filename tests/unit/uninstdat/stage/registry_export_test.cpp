// Registry exports: the keys and values created, in order, a line
// continued by a backslash, deletions apart, short root names made long.
#include "tools/uninstdat/stage/registry_export.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

TEST(RegistryExportTest, KeysAndValuesInOrder) {
  const std::string reg =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\W]\r\n\"Data\"=hex:01,02,\\\r\n  03\r\n"
      "@=\"x\"\r\n[-HKEY_CURRENT_USER\\Software\\Gone]\r\n\"ignored\"=\"1\"\r\n"
      "[HKCU\\Software\\W\\Sub]\r\n\"a \\\"b\\\"\"=-\r\n\"c\"=dword:1\r\n";
  auto exported = ParseRegistryExport(reg, 1252);
  ASSERT_TRUE(exported) << exported.failure().message;
  std::vector<std::string> seen;
  for (const RegistryItem& item : exported->items)
    seen.push_back(item.key + ";" + (item.defaultValue ? "@" : item.value));
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "HKEY_CURRENT_USER\\Software\\W;", "HKEY_CURRENT_USER\\Software\\W;Data",
                      "HKEY_CURRENT_USER\\Software\\W;@", "HKEY_CURRENT_USER\\Software\\W\\Sub;",
                      "HKEY_CURRENT_USER\\Software\\W\\Sub;c"}));
  std::vector<std::string> deleted;
  for (const RegistryItem& item : exported->deletions)
    deleted.push_back(item.key + ";" + (item.defaultValue ? "@" : item.value));
  EXPECT_EQ(deleted, (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Gone;",
                                               "HKEY_CURRENT_USER\\Software\\W\\Sub;a \"b\""}));
  auto refused = ParseRegistryExport("[HKEY_USERS\\x]\r\n", 1252);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.failure().code, Exit::kBadInput);
}

}  // namespace
}  // namespace uninstdat
