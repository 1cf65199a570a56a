// Suggestions for an unknown name: the close one, without regard to ASCII
// case, else the list of known names; bounded for a very long name.
#include "tools/uninstdat/suggestions.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

TEST(SuggestionsTest, SuggestsTheCloseName) {
  const std::vector<std::string> known = {"default", "nt", "win98", "win95"};
  struct Row {
    const char* name;
    std::string given;
    std::string said;
  };
  const Row rows[] = {
      {"a letter missing", "defalt", "is no alternate; did you mean \"default\"?"},
      {"case does not count", "DEFAULT", "is no alternate; did you mean \"default\"?"},
      {"the nearer of two", "win96", "is no alternate; did you mean \"win98\"?"},
      {"nothing close: the list", "windows2000", "is no alternate (default, nt, win98, win95)"},
      {"far longer than any: the list", std::string(100000, 'x'), "is no alternate (default, nt, win98, win95)"},
      {"empty: a short name is close", "", "is no alternate; did you mean \"nt\"?"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(UnknownName(row.given, known, "alternate"), row.said);
  }
}

}  // namespace
}  // namespace uninstdat
