// The plan's records for programs and for people: a JSON record each, and
// the text of the run section by section. Both render the same PlanRecord.
#pragma once

#include <string>

#include "tools/uninstdat/json.h"
#include "tools/uninstdat/plan/plan.h"

namespace uninstdat {

// The record as JSON: {"record": "machine"|"box"|"program"|"shortcut"|
// "registry"|"entry"|"omitted"|"end", ...}.
Json PlanJson(const PlanRecord& record);

// The run as text for people, section by section in the run's order; a
// section's header is written when its first record comes, or when a later
// section begins. Give it the records of one target in order; each call
// returns the text that record adds.
class PlanText {
 public:
  std::string operator()(const PlanRecord& record);

 private:
  enum Section { kBoxes, kPrograms, kShortcuts, kRegistry, kEntries, kClosing };
  friend struct PlanTextVisitor;
  std::string Enter(Section section);

  std::string exeFolder_;
  bool allUsersFolders_ = false;
  Section section_ = kBoxes;
  size_t lines_ = 0;
};

}  // namespace uninstdat
