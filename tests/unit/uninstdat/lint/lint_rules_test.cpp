// The lint table and the README's table of codes are one list: the same
// codes in the same order, each about the same texts, each saying the same
// of what the uninstaller would do (SARIF's rule descriptions take it from
// the table).
#include "tools/uninstdat/lint_rules.h"

#include <gtest/gtest.h>

#include <fstream>

namespace uninstdat {
namespace {

// The README's words for the texts a code is about.
std::string FieldsText(const LintFields& fields) {
  if (fields.file) return "the file";
  std::string text = std::string("`") + uninst::Layout(fields.first).name + "`";
  if (fields.last != fields.first) text += std::string(" to `") + uninst::Layout(fields.last).name + "`";
  return text;
}

TEST(LintRulesTest, TheReadmeListsEveryCodeInOrderWithItsTexts) {
  std::ifstream in(std::string(UNINST_SOURCE_DIR) + "/README.md");
  struct Row {
    std::string code, texts, summary;
  };
  std::vector<Row> readme;
  bool inTable = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "| Code | Texts | What the uninstaller would do |") inTable = true;
    else if (inTable && line.empty()) break;
    else if (inTable && line.rfind("| `", 0) == 0) {
      size_t codeEnd = line.find("` |");
      size_t textsEnd = line.find(" | ", codeEnd + 3);
      ASSERT_NE(textsEnd, std::string::npos) << line;
      std::string summary = line.substr(textsEnd + 3, line.size() - textsEnd - 5);  // up to " |"
      for (size_t bar; (bar = summary.find("\\|")) != std::string::npos;) summary.erase(bar, 1);  // the table's escape
      readme.push_back({line.substr(3, codeEnd - 3), line.substr(codeEnd + 4, textsEnd - codeEnd - 4), summary});
    }
  }
  const std::vector<LintRule>& rules = LintRules();
  ASSERT_EQ(readme.size(), rules.size());
  for (size_t i = 0; i < rules.size(); ++i) {
    SCOPED_TRACE(rules[i].name);
    EXPECT_EQ(readme[i].code, rules[i].name);
    EXPECT_EQ(readme[i].texts, FieldsText(rules[i].fields));
    EXPECT_EQ(readme[i].summary, rules[i].summary);
  }
}

}  // namespace
}  // namespace uninstdat
