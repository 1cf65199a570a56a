// Findings: capped per code and counted, allowed ones apart, and each built
// from its code's row.
#include "tools/uninstdat/lint/findings.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace uninstdat {
namespace {

// Allowed findings are capped and counted apart from the others, so that
// acknowledging one entry never hides the findings of another.
TEST(FindingsTest, PerCodeAreCappedAndCounted) {
  TargetCodePage page(1252);
  Result<AllowRule> rule = ParseAllowRule("listed-twice=b.txt", page);
  ASSERT_TRUE(rule) << rule.failure().message;
  Findings findings(2, {*rule});
  auto add = [&](LintCode code, std::optional<std::string_view> text) {
    Findings::Slot slot = findings.Admit(code, text);
    FindingPlace place = code == LintCode::kNoCaption ? FindingPlace{DataText::kMessageCaption, std::nullopt}
                                                      : FindingPlace{DataText::kRemovalEntries, 0};
    if (slot.keep) findings.Keep(slot, MakeFinding(code, place, std::nullopt, "y"));
  };
  for (int i = 0; i < 5; ++i) add(LintCode::kListedTwice, "a.txt");
  for (int i = 0; i < 4; ++i) add(LintCode::kListedTwice, "b.txt");
  add(LintCode::kNoCaption, std::nullopt);
  EXPECT_EQ(findings.kept().size(), 5u);
  std::vector<std::string> omitted;
  for (const Findings::Omitted& o : findings.omitted())
    omitted.push_back(o.rule->name + std::string(o.allowed ? " allowed " : " ") + std::to_string(o.count));
  EXPECT_EQ(omitted, (std::vector<std::string>{"listed-twice 3", "listed-twice allowed 2"}));
  EXPECT_EQ(findings.total(), 10u);
  EXPECT_EQ(findings.allowed(), 4u);
  EXPECT_EQ(findings.toMend(), 6u);
  // A check that reports a code at a place its row does not name is a fault of the tool.
  EXPECT_THROW(MakeFinding(LintCode::kNoCaption, {DataText::kRestartPrompt, std::nullopt}, std::nullopt, "y"),
               std::logic_error);
}

}  // namespace
}  // namespace uninstdat
