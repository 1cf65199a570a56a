// The strict reader and the one count of lines and columns: the JSON
// library's syntax errors, the depth check, the duplicate key and the
// manifest's positions (which lint's SARIF
// regions are) name the same place for the same character, whatever the
// line ends and the letters before it.
#include "tools/uninstdat/manifest_reader.h"

#include <gtest/gtest.h>

#include "tools/uninstdat/manifest_positions.h"

namespace uninstdat {
namespace {

TEST(ManifestReaderTest, CountsLinesAndCodePoints) {
  struct Row {
    const char* name;
    std::string text;
    uint32_t line, column;  // of the byte after the text
  };
  const Row rows[] = {
      {"nothing", "", 1, 1},
      {"ASCII", "ab", 1, 3},
      {"LF", "a\nb", 2, 2},
      {"CR LF is one line end", "a\r\nb", 2, 2},
      {"a lone CR ends a line", "a\rb", 2, 2},
      {"two lone CRs", "a\r\rb", 3, 2},
      {"LF then CR: two line ends", "a\n\rb", 3, 2},
      {"a tab is one column", "\tb", 1, 3},
      {"two bytes, one column", "\xC3\xA9x", 1, 3},
      {"three bytes, one column", "\xE2\x82\xAC", 1, 2},
      {"four bytes, one column", "\xF0\x9F\x98\x80", 1, 2},
      {"a byte that begins no character counts one", "\xFF", 1, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PositionCounter counter;
    for (char c : row.text) counter.Count(static_cast<unsigned char>(c));
    EXPECT_EQ(counter.Position().line, row.line);
    EXPECT_EQ(counter.Position().column, row.column);
  }
}

TEST(ManifestReaderTest, ErrorsNameTheirLineAndColumn) {
  struct Row {
    const char* name;
    std::string text;
    const char* error;  // its beginning
  };
  const std::string deep = std::string(16, '[') + std::string(16, ']');
  const Row rows[] = {
      {"duplicate key after CR LF", "{\"a\": 1,\r\n \"a\": 2}",
       "line 2, column 2: the key \"a\" is given twice in one object; give it once"},
      {"duplicate key after a lone CR", "{\"a\": 1,\r \"a\": 2}", "line 2, column 2: the key \"a\""},
      {"duplicate key after letters of several bytes", "{\"\xC3\xA9\": \"\xE2\x82\xAC\xE2\x82\xAC\", \"\xC3\xA9\": 2}",
       "line 1, column 13: the key \"\xC3\xA9\""},
      {"duplicate key whose name is an earlier value", "{\"x\": \"a\", \"a\": 1, \"a\": 2}",
       "line 1, column 20: the key \"a\""},
      {"duplicate key whose name is an earlier value, on its own line", "{\"x\": \"a\",\n\"a\": 1,\n\"a\": 2}",
       "line 3, column 1: the key \"a\""},
      {"duplicate key written with an escape", "{\"a\": 1, \"\\u0061\": 2}", "line 1, column 10: the key \"a\""},
      {"duplicate key in an inner object, its name a key outside",
       "{\"k\": {\"k\": 1}, \"j\": {\"k\": 1, \"k\": 2}}", "line 1, column 31: the key \"k\""},
      {"a key once in each of two objects is no duplicate, the next one is",
       "{\"o\": {\"a\": 1}, \"p\": {\"a\": 1}, \"o\": 2}", "line 1, column 32: the key \"o\""},
      {"too deep after CR LF", "{\"a\":\r\n  " + deep + "}", "line 2, column 18: values are nested more than 16 deep"},
      {"too deep after a lone CR", "{\"a\":\r  " + deep + "}", "line 2, column 18: values are nested"},
      {"too deep after letters of several bytes", "{\"\xC3\xA9\xE2\x82\xAC\": " + deep + "}",
       "line 1, column 23: values are nested"},
      // The library's own syntax errors, placed by the same counter: a lone
      // CR ends a line, a letter of several bytes is one column, and the
      // fault is the byte the library stopped at, even a line end.
      {"syntax error after LF", "{\n \"a\": x}", "not valid JSON: parse error at line 2, column 7: syntax error"},
      {"syntax error after CR LF", "{\r\n \"a\": x}", "not valid JSON: parse error at line 2, column 7: syntax error"},
      {"syntax error after a lone CR", "{\r \"a\": x}", "not valid JSON: parse error at line 2, column 7: syntax error"},
      {"syntax error after two lone CRs", "{\r\r\"a\": x}", "not valid JSON: parse error at line 3, column 6: "},
      {"syntax error after letters of several bytes", "{\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\": x}",
       "not valid JSON: parse error at line 1, column 9: syntax error while parsing value - invalid literal"},
      {"syntax error after a byte-order mark", "\xEF\xBB\xBF{\"a\": x}", "not valid JSON: parse error at line 1, column 7: "},
      {"a line end inside a text is the fault, on its own line", "{\"a\": \"b\nc\"}",
       "not valid JSON: parse error at line 1, column 9: syntax error while parsing value - invalid string: control "
       "character U+000A (LF)"},
      {"a number before a line end, where a colon belongs", "{\"a\" 1\n}",
       "not valid JSON: parse error at line 1, column 6: syntax error while parsing object separator"},
      {"the end of the text after a lone CR", "{\"a\": 1,\r", "not valid JSON: parse error at line 2, column 1: "},
      {"nothing at all", "", "not valid JSON: parse error at line 1, column 1: "},
      {"brackets in a text do not nest", "{\"a\": \"" + std::string(40, '[') + "\", \"b\": [" + deep + "]}",
       "line 1, column 71: values are nested"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Result<Json> parsed = ParseManifestText(row.text);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.failure().code, Exit::kBadInput);
    const std::string& error = parsed.failure().message;
    EXPECT_EQ(error.rfind(row.error, 0), 0u) << error;
  }
}

// The three users of the counter agree on one text: the duplicate key's
// message and the manifest's positions (as SARIF shows them) put the key
// at the same line and column.
TEST(ManifestReaderTest, DuplicateKeyAndPositionsAgree) {
  const std::string texts[] = {
      "{\"messageCaption\": \"\xC3\xA9\",\r\n \"programGroup\": \"G\",\r\n  \"programGroup\": \"H\"}",
      "{\"messageCaption\": \"programGroup\",\r\"programGroup\": \"G\", \"programGroup\": \"H\"}",
      "\xEF\xBB\xBF{\"programGroup\": \"\xE2\x82\xAC\", \"programGroup\": \"H\"}",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    Result<Json> parsed = ParseManifestText(text);
    ASSERT_FALSE(parsed);
    const std::string& error = parsed.failure().message;
    // The positions keep the last of a key given twice.
    std::optional<TextPosition> at = ManifestPositions::Of(text).Key("programGroup");
    ASSERT_TRUE(at);
    EXPECT_EQ(error.rfind("line " + std::to_string(at->line) + ", column " + std::to_string(at->column) + ": ", 0), 0u)
        << error;
  }
}

TEST(ManifestReaderTest, TellsManifestsFromDataFiles) {
  EXPECT_TRUE(LooksLikeManifest("{}"));
  EXPECT_TRUE(LooksLikeManifest("\xEF\xBB\xBF \r\n\t{"));
  EXPECT_FALSE(LooksLikeManifest(std::string("{\0", 2)));
  EXPECT_FALSE(LooksLikeManifest(std::string("\0\0\0\0a|\0", 8)));
  EXPECT_FALSE(LooksLikeManifest("[]"));
  EXPECT_FALSE(LooksLikeManifest(""));
}

}  // namespace
}  // namespace uninstdat
