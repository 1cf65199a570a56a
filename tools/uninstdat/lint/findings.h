// Lint's findings: each built from its code's row of the lint table, about
// a place of the data file (a text, an item of a list, or the file), and
// collected with at most so many kept per code, acknowledged ones apart.
// Rendered as text and as JSON by lint_render.h.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/lint_rules.h"
#include "tools/uninstdat/result.h"

namespace uninstdat {

// Where a finding is: a text of the file and an item of it, or the file.
struct FindingPlace {
  std::optional<DataText> field;  // none: the file as a whole
  std::optional<size_t> item;     // none: the text as a whole
};

// "removalEntries[3]", "registryList" or "file".
std::string PlaceText(const FindingPlace& place);

// Where bytes stand in the data file linted: their offset and length.
struct ByteRange {
  size_t offset = 0, length = 0;
};

struct Finding {
  const LintRule* rule = nullptr;
  FindingPlace place;
  std::optional<std::string> text;  // the entry's text (UTF-8) when the finding has an entry
  std::optional<ByteRange> bytes;   // the entry's bytes in the data file, when it has an entry
  std::string what;                 // what the uninstaller does
  const char* mend = nullptr;       // the rule's mend for this finding's cause
  bool allowed = false;             // acknowledged by an allow rule: --strict passes
  std::string allowedBy;            // the allow rule as the author gave it, when allowed

  const char* code() const { return rule->name; }
  bool note() const { return rule->note; }
  std::string Where() const { return PlaceText(place); }
};

// The finding of `code` at `place`, with the rule's mend, or its other one.
// Throws std::logic_error for a place that is none of the rule's texts: a
// check that reports a code elsewhere is a fault of the tool.
Finding MakeFinding(LintCode code, FindingPlace place, std::optional<std::string> text, std::string what,
                    bool otherMend = false);

// An acknowledged finding: every finding of `rule`, or with `anyText` false
// only those whose entry's text is `text` (bytes in the code page).
struct AllowRule {
  const LintRule* rule = nullptr;
  bool anyText = true;
  std::string text;
  std::string by;  // where and how it was given, for the findings it allows: "--allow CODE=TEXT"
};
// Reads "CODE" or "CODE=TEXT" (TEXT in UTF-8, as a finding shows it), with
// `by` the rule as written. Fails (kBadInput; the caller says where the rule
// was given and may judge it a usage error) for a code that does not exist,
// naming the likeliest one, or a text that the code page cannot carry.
Result<AllowRule> ParseAllowRule(const std::string& written, const TargetCodePage& page);

// Findings in the order they are made, at most `keepPerCode` of each code
// (0: all), allowed ones counted apart; the others are only counted, so that
// a hostile file of millions of entries costs memory for the counts, not for
// its findings.
class Findings {
 public:
  explicit Findings(size_t keepPerCode = 0, std::vector<AllowRule> allow = {});
  Findings(const Findings&) = delete;
  Findings& operator=(const Findings&) = delete;

  // Counts one finding of `code` about the entry text `text` (bytes in the
  // code page; nullopt when the finding has no entry). Returns whether it is
  // to be kept, so that the caller builds it only then and passes it to
  // Keep with the slot.
  struct Slot {
    bool keep, allowed;
    const AllowRule* by;  // the first allow rule that matches, or null
  };
  Slot Admit(LintCode code, std::optional<std::string_view> text);
  void Keep(const Slot& slot, Finding finding);

  const std::vector<Finding>& kept() const { return kept_; }
  // Per code in the order of the codes' names, and apart for allowed
  // findings, the number that were not kept.
  struct Omitted {
    const LintRule* rule;
    bool allowed;
    size_t count;
  };
  std::vector<Omitted> omitted() const;
  size_t total() const { return total_; }
  size_t notes() const { return notes_; }
  size_t allowed() const { return allowed_; }
  // Findings that are neither notes nor allowed: what --strict fails on.
  size_t toMend() const { return total_ - notes_ - allowed_; }

 private:
  struct Count {
    size_t plain = 0, allowed = 0;  // findings so far, not allowed and allowed
  };
  size_t keepPerCode_;
  std::vector<AllowRule> allow_;
  std::vector<Finding> kept_;
  std::vector<Count> counts_;  // by LintCode
  size_t total_ = 0, notes_ = 0, allowed_ = 0;
};

}  // namespace uninstdat
