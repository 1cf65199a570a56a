// Removal entries judged as the uninstaller's parser judges them: each
// entry's outcome on a machine, with the reason plan and lint give for it.
#include "tools/uninstdat/entry_evaluator.h"

#include <gtest/gtest.h>

#include <utility>

namespace uninstdat {
namespace {

TEST(EntryEvaluatorTest, Outcomes) {
  TargetCodePage page(1252);
  Target nt{DefaultMachine(uninst::kOsNt), "C:\\Apps\\Widget"};
  nt.machine.commonFilesDir = "";  // its registry value cannot be read
  struct Row { std::string entry; bool listed; EntryReason reason; const char* path; };
  const Row rows[] = {
      {"a.txt", true, EntryReason::kNone, "C:\\Apps\\Widget\\a.txt"},
      {"<Win>", false, EntryReason::kMacroWithoutBackslash, nullptr},
      {"<CommonFiles>\\x.dll", false, EntryReason::kFolderUnavailable, nullptr},
      {"a;;", true, EntryReason::kNone, "C:\\Apps\\Widget\\a"},
      {";b;", true, EntryReason::kNone, "C:\\Apps\\Widget\\b"},
      {"x;;;y", true, EntryReason::kNone, "C:\\Apps\\Widget\\x"},
      {";;;y", true, EntryReason::kMatchesNothing, "C:\\Apps\\Widget\\"},
      {"logs\\*.log", true, EntryReason::kWildcard, "C:\\Apps\\Widget\\logs\\*.log"},
      {"..\\Widget", true, EntryReason::kInstallFolder, "C:\\Apps\\Widget\\..\\Widget"},
      {"\\\\?\\C:\\x", true, EntryReason::kOutsideMachine, "\\\\?\\C:\\x"},
      {std::string(300, 'p'), false, EntryReason::kPathDoesNotFit, nullptr},
  };
  EntryEvaluator evaluator(nt, page);
  EntryOutcome outcome;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.entry);
    evaluator.Evaluate(row.entry.data(), row.entry.data() + row.entry.size(), &outcome);
    EXPECT_EQ(outcome.listed, row.listed);
    EXPECT_EQ(outcome.reason, row.reason);
    if (row.path) {
      EXPECT_EQ(outcome.path, row.path);
    }
  }
}

// The names plan prints: stable, since scripts read plan's JSON records.
TEST(EntryEvaluatorTest, ReasonNames) {
  const std::pair<EntryReason, const char*> rows[] = {
      {EntryReason::kMacroWithoutBackslash, "macro-without-backslash"},
      {EntryReason::kFolderUnavailable, "folder-unavailable"},
      {EntryReason::kPathDoesNotFit, "path-does-not-fit"},
      {EntryReason::kMatchesNothing, "matches-nothing"},
      {EntryReason::kOutsideMachine, "outside-machine"},
      {EntryReason::kWildcard, "wildcard"},
      {EntryReason::kInstallFolder, "install-folder"},
  };
  EXPECT_EQ(EntryReasonName(EntryReason::kNone), nullptr);
  for (const auto& [reason, name] : rows) EXPECT_STREQ(EntryReasonName(reason), name);
}

}  // namespace
}  // namespace uninstdat
