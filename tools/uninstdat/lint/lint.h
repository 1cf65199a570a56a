// The quiet faults of a data file: what makes the uninstaller do less, or
// more, than its author meant. Lint runs the engine's own parser pieces on
// described machines: removal entries through EntryEvaluator (as plan does),
// registry entries through the engine's ReadRegistryEntry, the program group
// through IsSafeProgramGroup; each finding is built from its code's row of
// the lint table (lint_rules.h).
#pragma once

#include <string>
#include <vector>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/lint/findings.h"
#include "tools/uninstdat/machine.h"

namespace uninstdat {

// Lints the data file `bytes` on every target into `findings`.
// `layoutProblems` are LayoutProblems' (a file cut short). Memory stays
// linear in the number of distinct paths.
void Lint(const std::string& bytes, const std::vector<std::string>& layoutProblems, const TargetCodePage& page,
          const std::vector<Target>& targets, Findings* findings);

}  // namespace uninstdat
