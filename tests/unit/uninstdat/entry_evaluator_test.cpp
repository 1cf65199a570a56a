// Removal entries judged as the uninstaller's parser judges them: each
// entry's outcome on a machine, with the reason plan and lint give for it.
#include "tools/uninstdat/entry_evaluator.h"

#include <gtest/gtest.h>

namespace uninstdat {
namespace {

TEST(EntryEvaluatorTest, Outcomes) {
  TargetCodePage page(1252);
  Target nt{DefaultMachine(uninst::kOsNt), "C:\\Apps\\Widget"};
  nt.machine.commonFilesDir = "";  // its registry value cannot be read
  struct Row { std::string entry; bool listed; const char* reason; const char* path; };
  const Row rows[] = {
      {"a.txt", true, "", "C:\\Apps\\Widget\\a.txt"},
      {"<Win>", false, "macro-without-backslash", nullptr},
      {"<CommonFiles>\\x.dll", false, "folder-unavailable", nullptr},
      {"a;;", true, "", "C:\\Apps\\Widget\\a"},
      {";b;", true, "", "C:\\Apps\\Widget\\b"},
      {"x;;;y", true, "", "C:\\Apps\\Widget\\x"},
      {";;;y", true, "matches-nothing", "C:\\Apps\\Widget\\"},
      {"logs\\*.log", true, "wildcard", "C:\\Apps\\Widget\\logs\\*.log"},
      {"..\\Widget", true, "install-folder", "C:\\Apps\\Widget\\..\\Widget"},
      {std::string(300, 'p'), false, "path-does-not-fit", nullptr},
  };
  EntryEvaluator evaluator(nt, page);
  EntryOutcome outcome;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.entry);
    evaluator.Evaluate(row.entry.data(), row.entry.data() + row.entry.size(), &outcome);
    EXPECT_EQ(outcome.listed, row.listed);
    EXPECT_STREQ(outcome.reason ? outcome.reason : "", row.reason);
    if (row.path) {
      EXPECT_EQ(outcome.path, row.path);
    }
  }
}

}  // namespace
}  // namespace uninstdat
