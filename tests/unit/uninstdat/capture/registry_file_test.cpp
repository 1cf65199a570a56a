// registry.reg as capture writes it: each value with its exact type, in a
// file that try and scan read back, and that Wine's hive text and this
// text agree on.
#include "tools/uninstdat/capture/registry_file.h"

#include <gtest/gtest.h>

#include "tools/uninstdat/stage/registry_export.h"

namespace uninstdat {
namespace {

std::string Utf16z(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes + std::string(2, '\0');
}

TEST(RegistryFileTest, EachTypeIsWrittenExactly) {
  const struct {
    const char* name;
    RegistryValue value;
    const char* text;
  } rows[] = {
      {"string", {kRegString, Utf16z(u"C:\\Program Files\\A")}, "\"C:\\\\Program Files\\\\A\""},
      {"string with a quote", {kRegString, Utf16z(u"say \"hi\"")}, "\"say \\\"hi\\\"\""},
      {"non-ASCII string", {kRegString, Utf16z(u"Caf\u00e9")}, "\"Caf\xC3\xA9\""},
      {"empty string", {kRegString, Utf16z(u"")}, "\"\""},
      // Data that is no single string of the file stays bytes of its type.
      {"string with a line end", {kRegString, Utf16z(u"a\nb")}, "hex(1):61,00,0a,00,62,00,00,00"},
      {"string without its NUL", {kRegString, std::string("a\0", 2)}, "hex(1):61,00"},
      {"string with a NUL inside", {kRegString, std::string("a\0\0\0b\0\0\0", 8)}, "hex(1):61,00,00,00,62,00,00,00"},
      {"odd string", {kRegString, "a"}, "hex(1):61"},
      {"lone surrogate", {kRegString, std::string("\x00\xd8\0\0", 4)}, "hex(1):00,d8,00,00"},
      {"expandable string", {kRegExpandString, Utf16z(u"%A%")}, "hex(2):25,00,41,00,25,00,00,00"},
      {"multi-string", {kRegMultiString, std::string("a\0\0\0\0\0", 6)}, "hex(7):61,00,00,00,00,00"},
      {"DWORD", {kRegDword, std::string("\x78\x56\x34\x12", 4)}, "dword:12345678"},
      {"DWORD of 3 bytes", {kRegDword, std::string("\x01\x02\x03", 3)}, "hex(4):01,02,03"},
      {"QWORD", {kRegQword, std::string("\x01\0\0\0\0\0\0\x80", 8)}, "hex(b):01,00,00,00,00,00,00,80"},
      {"binary", {kRegBinary, std::string("\x00\xff", 2)}, "hex:00,ff"},
      {"empty binary", {kRegBinary, ""}, "hex:"},
      {"none", {kRegNone, ""}, "hex(0):"},
      {"another type", {0x100, "*"}, "hex(100):2a"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(RegistryDataText(row.value), row.text);
  }
}

TEST(RegistryFileTest, LongDataContinuesAsRegeditWritesIt) {
  std::string text = RegistryDataText({kRegBinary, std::string(40, '\x11')});
  EXPECT_NE(text.find(",\\\r\n  11"), std::string::npos);
  for (size_t from = 0, end; from < text.size(); from = end + 2) {
    end = text.find("\r\n", from);
    if (end == std::string::npos) end = text.size();
    EXPECT_LE(end - from, 80u);  // no line beyond regedit's width
  }
}

TEST(RegistryFileTest, TheFileReadsBackKeyForKeyAndValueForValue) {
  std::vector<RegistryFileKey> keys = {
      {"HKEY_LOCAL_MACHINE\\Software\\Acme", {}},
      {"HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes",
       {{"", {kRegString, Utf16z(u"default")}},
        {"Path", {kRegExpandString, Utf16z(u"%ProgramFiles%\\Acme")}},
        {"Size", {kRegQword, std::string(8, '\x01')}},
        {"a\"b\\c", {kRegDword, std::string(4, '\0')}},
        {"Big", {kRegBinary, std::string(300, '\x7f')}}}},
      {"HKEY_CLASSES_ROOT\\.acn", {{"", {kRegString, Utf16z(u"AcmeNotes.Document")}}}},
  };
  std::string text = RegistryFileText(keys);
  EXPECT_EQ(text.compare(0, 38, "Windows Registry Editor Version 5.00\r\n"), 0);
  EXPECT_EQ(text.find("\xEF\xBB\xBF"), std::string::npos);  // UTF-8 without its byte-order mark
  auto exported = ParseRegistryExport(text, 1252);
  ASSERT_TRUE(exported) << exported.failure().message;
  EXPECT_TRUE(exported->deletions.empty());
  std::vector<std::string> seen;
  for (const RegistryItem& item : exported->items)
    seen.push_back(item.key + "|" + (item.defaultValue ? "@" : item.value));
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "HKEY_LOCAL_MACHINE\\Software\\Acme|",
                      "HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes|",
                      "HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes|@",
                      "HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes|Path",
                      "HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes|Size",
                      "HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes|a\"b\\c",
                      "HKEY_LOCAL_MACHINE\\Software\\Acme\\Notes|Big",
                      "HKEY_CLASSES_ROOT\\.acn|",
                      "HKEY_CLASSES_ROOT\\.acn|@",
                  }));
}

TEST(RegistryFileTest, NamesALineOfTheFileCannotCarry) {
  EXPECT_EQ(RegistryNameProblem("Acme Notes"), nullptr);
  EXPECT_EQ(RegistryNameProblem("Caf\xC3\xA9"), nullptr);
  EXPECT_NE(RegistryNameProblem("a\nb"), nullptr);
  EXPECT_NE(RegistryNameProblem("a\rb"), nullptr);
  EXPECT_NE(RegistryNameProblem(std::string("a\0b", 3)), nullptr);
  EXPECT_NE(RegistryNameProblem("\xED\xA0\x80"), nullptr);  // a lone surrogate
}

TEST(RegistryFileTest, TypeNames) {
  EXPECT_EQ(RegistryTypeName(kRegString), "string");
  EXPECT_EQ(RegistryTypeName(kRegExpandString), "expandable string");
  EXPECT_EQ(RegistryTypeName(kRegMultiString), "multi-string");
  EXPECT_EQ(RegistryTypeName(kRegDword), "DWORD");
  EXPECT_EQ(RegistryTypeName(kRegQword), "QWORD");
  EXPECT_EQ(RegistryTypeName(kRegBinary), "binary");
  EXPECT_EQ(RegistryTypeName(kRegNone), "none");
  EXPECT_EQ(RegistryTypeName(9), "type 9");
}

}  // namespace
}  // namespace uninstdat
