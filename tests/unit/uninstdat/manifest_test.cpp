// The manifest reader: the schema names exactly what it accepts, and every
// error names its field and item.
#include "tools/uninstdat/manifest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "tools/uninstdat/lint_rules.h"
#include "tools/uninstdat/manifest_reader.h"

namespace uninstdat {
namespace {

// The schema that editors complete from names exactly what build accepts.
TEST(ManifestTest, SchemaNamesWhatBuildAccepts) {
  std::ifstream in(std::string(UNINST_SOURCE_DIR) + "/tools/uninstdat/schema/manifest.schema.json");
  Json schema = Json::parse(in);
  auto keys = [](const Json& object) {
    std::vector<std::string> names;
    for (const auto& item : object["properties"].items()) names.push_back(item.key());
    std::sort(names.begin(), names.end());
    return names;
  };
  auto sorted = [](std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
  };
  const ManifestVocabulary& v = Vocabulary();
  EXPECT_EQ(keys(schema), sorted(v.fields));
  EXPECT_EQ(keys(schema["$defs"]["alternates"]), sorted(v.alternates));
  EXPECT_EQ(keys(schema["$defs"]["registryEntry"]), sorted(v.registryEntry));
  EXPECT_EQ(keys(schema["properties"]["trailing"]), sorted(v.trailing));
  std::vector<std::string> codes = LintCodeNames();
  const Json& allow = schema["properties"]["lintAllow"]["items"]["anyOf"];
  EXPECT_EQ(allow[0]["enum"].get<std::vector<std::string>>(), codes);
  std::string alternatives;
  for (const std::string& code : codes) alternatives += (alternatives.empty() ? "" : "|") + code;
  EXPECT_EQ(allow[1]["pattern"], "^(" + alternatives + ")=");
  std::vector<int> pages;
  for (int page : schema["properties"]["codePage"]["enum"]) pages.push_back(page);
  for (int page = 0; page < 70000; ++page)
    EXPECT_EQ(IsWindowsAnsiCodePage(page), std::count(pages.begin(), pages.end(), page) == 1) << page;
}

// Values nest at most kMaxNesting deep: the one bracket beyond is refused
// before the parse, where it stands, even inside a line of a string that
// holds brackets.
TEST(ManifestTest, NestingBound) {
  auto nested = [](int depth) {
    return "{\"s\": \"[[{\",\n \"a\": " + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
  };
  Result<Json> inside = ParseManifestText(nested(kMaxNesting));
  EXPECT_TRUE(inside) << inside.failure().message;
  Result<Json> beyond = ParseManifestText(nested(kMaxNesting + 1));
  ASSERT_FALSE(beyond);
  EXPECT_EQ(beyond.failure().code, Exit::kBadInput);
  const std::string& error = beyond.failure().message;
  EXPECT_EQ(error.rfind("line 2, column " + std::to_string(7 + kMaxNesting - 1) + ": values are nested more than 16 deep", 0),
            0u)
      << error;
}

TEST(ManifestTest, ErrorsNameFieldAndItem) {
  struct Row { const char* name; Json manifest; const char* where; };
  const Row rows[] = {
      {"character outside the code page", {{"confirmPrompt", "日本"}}, "confirmPrompt"},
      {"bar inside an entry", {{"removalEntries", {"a", "b|c"}}}, "removalEntries[1]"},
      {"semicolon inside an alternate", {{"removalEntries", {{{"default", "a"}, {"nt", "b;c"}}}}}, "removalEntries[0].nt"},
      {"semicolon inside a shortcut name", {{"desktopShortcuts", {"ok", "a;b"}}}, "desktopShortcuts[1]"},
      {"semicolon inside a registry key", {{"registryList", {{{"key", "HKEY_USERS\\a;b"}}}}}, "registryList[0].key"},
      {"NUL inside a text", {{"closingMessage", std::string("a\0b", 3)}}, "closingMessage"},
      {"unknown field", {{"confirmPromt", "x"}}, "confirmPromt"},
      {"unknown alternate", {{"removalEntries", {{{"win2000", "x"}}}}}, "removalEntries[0].win2000"},
      {"bad allUsers", {{"allUsers", "yes"}}, "allUsers"},
      {"allUsers beyond 32 bits", {{"allUsers", 4294967296u}}, "allUsers"},
      {"code page as text", {{"codePage", "932"}}, "codePage"},
      {"no ANSI code page", {{"codePage", 65001}}, "codePage"},
      {"empty value name", {{"registryList", {{{"key", "HKEY_USERS\\a"}, {"value", ""}}}}}, "registryList[0].value"},
      {"lone lead byte ends an entry", {{"codePage", 932}, {"removalEntries", {{{"hex", "6183"}}, "b.txt"}}}, "removalEntries[0]"},
      {"lone lead byte ends a name", {{"codePage", 932}, {"desktopShortcuts", {{{"hex", "83"}}}}}, "desktopShortcuts[0]"},
      {"short root name", {{"registryList", {{{"key", "HKLM\\Software\\W"}}}}}, "registryList[0].key"},
      {"unknown lint code", {{"lintAllow", {"listed-twice", "shared-sytem-file"}}}, "lintAllow[1]"},
      {"code page beyond int", {{"codePage", 4294968548u}}, "codePage"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TargetCodePage target(row.manifest.contains("codePage") && row.manifest["codePage"] == 932 ? 932 : 1252);
    Result<DataFileModel> model = ModelFromManifest(row.manifest, target);
    ASSERT_FALSE(model);
    EXPECT_EQ(model.failure().code, Exit::kBadInput);
    std::string first = Lines(model.failure())[0];
    EXPECT_EQ(first.rfind(std::string(row.where) + ":", 0), 0u) << first;
  }
}

// Every error of a manifest is told, in the order of its fields, so that
// the author mends them all in one go; one error is the message alone.
TEST(ManifestTest, EveryErrorIsKept) {
  struct Row { const char* name; Json manifest; std::vector<std::string> where; };
  const Row rows[] = {
      {"one", {{"confirmPromt", "x"}}, {"confirmPromt"}},
      {"two", {{"confirmPromt", "x"}, {"allUsers", "yes"}}, {"confirmPromt", "allUsers"}},
      {"three, items in order", {{"removalEntries", {"a|b", "c", "d|e"}}, {"desktopShortcuts", {"a;b"}}},
       {"removalEntries[0]", "removalEntries[2]", "desktopShortcuts[0]"}},
      {"not an object", Json::array(), {"the manifest must be a JSON object"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Result<DataFileModel> model = ModelFromManifest(row.manifest, TargetCodePage(1252));
    ASSERT_FALSE(model);
    std::vector<std::string> lines = Lines(model.failure());
    ASSERT_EQ(lines.size(), row.where.size()) << Json(lines).dump();
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(row.where[i], 0), 0u) << lines[i];
  }
}

}  // namespace
}  // namespace uninstdat
