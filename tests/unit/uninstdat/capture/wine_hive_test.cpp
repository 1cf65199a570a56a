// Wine's registry files read with types and data, as Wine writes them: a
// wrong type or a byte off would make capture report a change where there
// is none, or write a value the installer never wrote.
#include "tools/uninstdat/capture/wine_hive.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

std::string Utf16(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

const char kHead[] = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n";

TEST(WineHiveTest, ValuesKeepTheirTypesAndData) {
  const struct {
    const char* name;
    const char* line;  // under [Software\\W] 1
    const char* value;
    uint32_t type;
    std::string data;
  } rows[] = {
      {"string", "\"S\"=\"C:\\\\x\"", "S", kRegString, Utf16(u"C:\\x") + std::string(2, '\0')},
      {"empty string", "\"E\"=\"\"", "E", kRegString, std::string(2, '\0')},
      {"quote and line end", "\"Q\"=\"a\\\"b\\nc\"", "Q", kRegString, Utf16(u"a\"b\nc") + std::string(2, '\0')},
      {"non-ASCII by \\x", "\"U\"=\"caf\\xe9\"", "U", kRegString, Utf16(u"caf\u00e9") + std::string(2, '\0')},
      {"four hex digits before a hex digit", "\"U4\"=\"\\x00e9e\"", "U4", kRegString, Utf16(u"\u00e9e") + std::string(2, '\0')},
      {"octal NUL inside", "\"O\"=\"a\\0b\"", "O", kRegString, Utf16(u"a") + std::string(2, '\0') + Utf16(u"b") + std::string(2, '\0')},
      {"expandable string", "\"X\"=str(2):\"%SystemRoot%\\\\a\"", "X", kRegExpandString, Utf16(u"%SystemRoot%\\a") + std::string(2, '\0')},
      {"multi-string", "\"M\"=str(7):\"a\\0b\\0\"", "M", kRegMultiString, Utf16(u"a") + std::string(2, '\0') + Utf16(u"b") + std::string(4, '\0')},
      {"DWORD", "\"D\"=dword:0000000a", "D", kRegDword, std::string("\x0a\0\0\0", 4)},
      {"DWORD high bytes", "\"D2\"=dword:12345678", "D2", kRegDword, std::string("\x78\x56\x34\x12", 4)},
      {"binary", "\"B\"=hex:01,ff,00", "B", kRegBinary, std::string("\x01\xff\x00", 3)},
      {"empty binary", "\"B0\"=hex:", "B0", kRegBinary, ""},
      {"QWORD", "\"Q8\"=hex(b):01,00,00,00,00,00,00,80", "Q8", kRegQword, std::string("\x01\0\0\0\0\0\0\x80", 8)},
      {"none", "\"N\"=hex(0):", "N", kRegNone, ""},
      {"multi-string as hex", "\"MH\"=hex(7):61,00,00,00,00,00", "MH", kRegMultiString, std::string("a\0\0\0\0\0", 6)},
      {"an unusual type", "\"T\"=hex(100):2a", "T", 0x100, "*"},
      {"string data Wine writes as hex (odd length)", "\"SH\"=hex(1):61", "SH", kRegString, "a"},
      {"default value", "@=\"d\"", "", kRegString, Utf16(u"d") + std::string(2, '\0')},
      {"continued hex", "\"L\"=hex:01,02,\\\n  03,04", "L", kRegBinary, "\x01\x02\x03\x04"},
      {"continued hex, CR LF", "\"L2\"=hex:01,\\\r\n  02\r", "L2", kRegBinary, "\x01\x02"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Hive hive;
    Result<void> read = ReadWineHiveValues(std::string(kHead) + "[Software\\\\W] 1\n#time=1d\n" + row.line + "\n\"After\"=\"z\"\n",
                                           "HKEY_LOCAL_MACHINE", &hive);
    ASSERT_TRUE(read) << read.failure().message;
    const RegistryKey& key = hive.at("HKEY_LOCAL_MACHINE\\Software\\W");
    ASSERT_EQ(key.values.count(row.value), 1u);
    EXPECT_EQ(key.values.at(row.value).type, row.type);
    EXPECT_EQ(key.values.at(row.value).data, row.data);
    EXPECT_EQ(key.values.count("After"), 1u);  // a continued line ends where it should
  }
}

TEST(WineHiveTest, KeysTheirParentsAndLinks) {
  Hive hive;
  Result<void> read = ReadWineHiveValues(std::string(kHead) +
                                     "[Software\\\\A\\\\B\\\\C] 1\n\"v\"=\"1\"\n\n"
                                     "[Software\\\\a\\]b] 1\n\n"
                                     "[Software\\\\Wow6432Node\\\\Classes] 1\n#time=1\n#link\n"
                                     "\"SymbolicLinkValue\"=hex(6):5c,00\n",
                                         "HKEY_CURRENT_USER", &hive);
  ASSERT_TRUE(read) << read.failure().message;
  // Wine writes a key that only holds keys nowhere: it exists all the same.
  EXPECT_EQ(hive.count("HKEY_CURRENT_USER\\Software\\A\\B"), 1u);
  EXPECT_EQ(hive.count("HKEY_CURRENT_USER\\Software"), 1u);
  EXPECT_EQ(hive.count("HKEY_CURRENT_USER"), 0u);  // the root is no key of the hive
  EXPECT_EQ(hive.at("HKEY_CURRENT_USER\\Software\\A\\B\\C").values.size(), 1u);
  EXPECT_EQ(hive.count("HKEY_CURRENT_USER\\Software\\a]b"), 1u);
  EXPECT_TRUE(hive.at("HKEY_CURRENT_USER\\Software\\Wow6432Node\\Classes").link);
  EXPECT_FALSE(hive.at("HKEY_CURRENT_USER\\Software\\A\\B\\C").link);
}

TEST(WineHiveTest, RefusesWhatWineDoesNotWrite) {
  const struct {
    const char* name;
    const char* text;
  } rows[] = {
      {"a key without ]", "[Software\\\\W 1\n"},
      {"a value before any key", "\"v\"=\"x\"\n"},
      {"a value without =", "[W] 1\n\"v\" \"x\"\n"},
      {"an unclosed string", "[W] 1\n\"v\"=\"x\n"},
      {"a short DWORD", "[W] 1\n\"v\"=dword:1\n"},
      {"a hex digit missing", "[W] 1\n\"v\"=hex:0g\n"},
      {"no type", "[W] 1\n\"v\"=42\n"},
      {"garbage line", "[W] 1\nxyz\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Hive hive;
    Result<void> read = ReadWineHiveValues(row.text, "HKEY_LOCAL_MACHINE", &hive);
    ASSERT_FALSE(read);
    EXPECT_NE(read.failure().message.find("line "), std::string::npos) << read.failure().message;
  }
}

TEST(WineHiveTest, Utf16ToUtf8KeepsLoneSurrogatesVisible) {
  std::string text;
  EXPECT_TRUE(Utf16LeBytesToUtf8(Utf16(u"a\U0001F600b"), false, &text));
  EXPECT_EQ(text, "a\xF0\x9F\x98\x80" "b");
  EXPECT_TRUE(Utf16LeBytesToUtf8(std::string("a\0\0\0b\0", 6), true, &text));
  EXPECT_EQ(text, "a");
  EXPECT_TRUE(Utf16LeBytesToUtf8(std::string("\x00\xd8", 2), false, &text));
  EXPECT_EQ(text, "\xED\xA0\x80");  // a lone high surrogate, no UTF-8 but visible
  EXPECT_FALSE(Utf16LeBytesToUtf8("abc", false, &text));
}

}  // namespace
}  // namespace uninstdat
