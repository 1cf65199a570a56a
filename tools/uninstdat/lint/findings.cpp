// Lint's findings; see findings.h.
#include "tools/uninstdat/lint/findings.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tools/uninstdat/suggestions.h"

namespace uninstdat {

std::string PlaceText(const FindingPlace& place) {
  if (!place.field) return "file";
  std::string where = uninst::Layout(*place.field).name;
  if (place.item) where += "[" + std::to_string(*place.item) + "]";
  return where;
}

Finding MakeFinding(LintCode code, FindingPlace place, std::optional<std::string> text, std::string what,
                    bool otherMend) {
  const LintRule& rule = RuleOf(code);
  if (rule.fields.file ? place.field.has_value() : !place.field || !rule.fields.Has(*place.field))
    throw std::logic_error(std::string("a finding of ") + rule.name + " at a place its rule does not name");
  Finding finding;
  finding.rule = &rule;
  finding.place = place;
  finding.text = std::move(text);
  finding.what = std::move(what);
  finding.mend = otherMend && rule.otherMend ? rule.otherMend : rule.mend;
  return finding;
}

Result<AllowRule> ParseAllowRule(const std::string& written, const TargetCodePage& page) {
  size_t equals = written.find('=');
  std::string code = written.substr(0, equals);
  AllowRule rule;
  rule.rule = RuleNamed(code);
  rule.anyText = equals == std::string::npos;
  rule.by = written;
  if (!rule.rule) return Failure{Exit::kBadInput, "\"" + code + "\" " + UnknownName(code, LintCodeNames(), "lint code")};
  if (!rule.anyText) {
    auto text = page.converter.ToAnsi(written.substr(equals + 1));
    if (!text)
      return Failure{Exit::kBadInput, "\"" + written.substr(equals + 1) + "\" has a character that code page " +
                                          std::to_string(page.converter.number()) +
                                          " cannot represent, so no entry has this text"};
    rule.text = *text;
  }
  return rule;
}

Findings::Findings(size_t keepPerCode, std::vector<AllowRule> allow)
    : keepPerCode_(keepPerCode), allow_(std::move(allow)), counts_(LintRules().size()) {}

Findings::Slot Findings::Admit(LintCode code, std::optional<std::string_view> text) {
  const LintRule& rule = RuleOf(code);
  Slot slot{true, false, nullptr};
  for (const AllowRule& allow : allow_)
    if (!slot.by && allow.rule == &rule && (allow.anyText || (text && *text == allow.text))) slot.by = &allow;
  slot.allowed = slot.by != nullptr;
  ++total_;
  if (slot.allowed) ++allowed_;
  else if (rule.note) ++notes_;
  Count& count = counts_[static_cast<size_t>(code)];
  size_t& seen = slot.allowed ? count.allowed : count.plain;
  slot.keep = !keepPerCode_ || seen < keepPerCode_;
  ++seen;
  return slot;
}

void Findings::Keep(const Slot& slot, Finding finding) {
  finding.allowed = slot.allowed;
  if (slot.by) finding.allowedBy = slot.by->by;
  kept_.push_back(std::move(finding));
}

std::vector<Findings::Omitted> Findings::omitted() const {
  std::vector<Omitted> omitted;
  if (!keepPerCode_) return omitted;
  std::vector<const LintRule*> byName;
  for (const LintRule& rule : LintRules()) byName.push_back(&rule);
  std::sort(byName.begin(), byName.end(),
            [](const LintRule* a, const LintRule* b) { return strcmp(a->name, b->name) < 0; });
  for (const LintRule* rule : byName) {
    const Count& count = counts_[static_cast<size_t>(rule->code)];
    if (count.plain > keepPerCode_) omitted.push_back({rule, false, count.plain - keepPerCode_});
    if (count.allowed > keepPerCode_) omitted.push_back({rule, true, count.allowed - keepPerCode_});
  }
  return omitted;
}

}  // namespace uninstdat
