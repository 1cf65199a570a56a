// The diff's records for programs and for people: a JSON record each and a
// summary record, and the text grouped by family and kind. Both render the
// same DiffRecord.
#pragma once

#include <string>

#include "tools/uninstdat/diff/diff.h"
#include "tools/uninstdat/json.h"

namespace uninstdat {

// "path", "key", "value", "shortcut" or "group".
const char* DiffKindName(DiffKind kind);

// The record as JSON: {"record": "dropped"|"omitted", "family", ...}; null
// for a DiffMachine, which the JSON lines leave out (each record names its
// family).
Json DiffJson(const DiffRecord& record);
// The last record: {"record": "summary", "dropped", one count per kind,
// "exit"}.
Json DiffSummaryJson(const DiffCounts& counts, int exit);

// The dropped items as text, a header per family and per kind, each written
// with the first item under it; nothing at all when nothing was dropped.
// Give it the records of every target in order, then call Summary once.
class DiffText {
 public:
  std::string operator()(const DiffRecord& record);
  std::string Summary(const DiffCounts& counts) const;

 private:
  std::string family_;  // the header of the family, until an item follows it
  int kind_ = -1;       // the kind whose header was written last
};

}  // namespace uninstdat
