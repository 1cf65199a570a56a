// What the uninstaller will do with a data file (plan) and the quiet faults
// that make it do less than its author meant (lint). Both run the engine's
// own parser, resolver and list walks on a described machine.
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/manifest.h"
#include "tools/uninstdat/model.h"

namespace uninstdat {

struct Finding {
  std::string code;   // stable, e.g. "nt-alternate-unclosed"
  std::string where;  // field and item, e.g. "removalEntries[3]"
  std::string what;
  std::string mend;
};

// The run in its order, as text. `exeFolder` is the uninstaller's folder.
std::string Plan(const std::string& bytes, const TargetCodePage& target, const Machine& machine,
                 const std::string& exeFolder);

// Every fault found, in field order. `decodeProblems` are those of Decode.
std::vector<Finding> Lint(const DataFileModel& model,
                          const std::vector<std::string>& decodeProblems,
                          const TargetCodePage& target, const std::string& exeFolder);

}  // namespace uninstdat
