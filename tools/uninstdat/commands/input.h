// The inputs the commands share, loaded once: a data file or a manifest,
// a machine description and the targets it makes, and the allow rules,
// each failing with the exit code and message that every command gives
// for it, which the command runner prints.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/commands/options.h"
#include "tools/uninstdat/json.h"
#include "tools/uninstdat/lint/findings.h"
#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/manifest_positions.h"

namespace uninstdat {

// What a data file or a manifest became: the data file's bytes and its parts.
struct Input {
  std::string bytes;                   // a manifest's as build writes them
  bool manifest = false;
  std::vector<std::string> problems;   // a data file's layout problems
  std::vector<std::string> lintAllow;  // a manifest's "lintAllow"
  std::unique_ptr<ManifestPositions> positions;  // a manifest's, when they were asked for
  std::unique_ptr<TargetCodePage> page;
};

// Reads `path` as a manifest (text that starts like JSON) or as a data file
// (anything else). The code page: the option, else the manifest's, else
// 1252. A data file that reads badly in 1252 and well in a double-byte page
// gets a note, said at once. With `positions`, a manifest's are recorded
// too. A manifest's errors are named by its path, every one of them.
Result<Input> LoadInput(const std::string& path, int codePageOption, bool positions = false);

// A machine description: the JSON text of a --machine file (whether it is
// an object is ApplyMachineJson's to say).
Result<Json> LoadMachine(const std::string& path);

// The targets of the machine options for the families named, else
// `defaults`.
Result<std::vector<Target>> MakeTargetsFrom(const MachineOptions& options,
                                            const std::vector<uninst::OsFamilyValue>& defaults,
                                            const TargetCodePage& page);

// The allow rules of --allow (a bad one is a usage error) and of a
// manifest's "lintAllow" (a bad one is the input's), in the code page.
Result<std::vector<AllowRule>> AllowRules(const std::vector<std::string>& options, const Input& input);

}  // namespace uninstdat
