// What one removal entry yields on one described machine, judged with the
// engine's own ChooseAlternate and BuildRemovalPath, the calls the
// uninstaller's parser makes; plan and lint both judge entries here, so
// they agree.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/run_state.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/machine.h"

namespace uninstdat {

// Why an entry is dropped, or what is worth a note about a listed path;
// kNone for a path listed without a note. Lint, plan and diff compare these
// values, never their names, so that a misspelt reason cannot compile.
enum class EntryReason {
  kNone,
  // Dropped: no path goes into the removal list.
  kMacroWithoutBackslash,
  kFolderUnavailable,
  kPathDoesNotFit,
  // Listed.
  kMatchesNothing,  // the path ends in a backslash
  kOutsideMachine,  // a \\?\ or \\.\ path, which Windows takes past its path rules
  kWildcard,
  kInstallFolder,
};

// The reason's stable name, as plan's records spell it ("wildcard", ...);
// null for kNone. The one table of these names is in entry_evaluator.cpp.
const char* EntryReasonName(EntryReason reason);

// What one removal entry yields on one machine.
struct EntryOutcome {
  std::string_view alternate;             // the text chosen, in the code page
  const char* alternateName = "default";  // default, nt, win98 or win95
  bool listed = false;                    // a path goes into the removal list
  std::string path;                       // that path
  std::string upper;                      // the path with a-z in upper case
  EntryReason reason = EntryReason::kNone;
};

// The engine's run state over a described machine, as the uninstaller
// would have it on that machine.
struct MachineSession {
  MachineSession(const Target& target, const TargetCodePage& page);
  MachinePlatform platform;
  uninst::RunState state;
};

class EntryEvaluator {
 public:
  EntryEvaluator(const Target& target, const TargetCodePage& page);
  EntryEvaluator(const EntryEvaluator&) = delete;
  EntryEvaluator& operator=(const EntryEvaluator&) = delete;
  // The entry [entry, end), without its "|", into `out` (whose buffers are
  // reused from call to call).
  void Evaluate(const char* entry, const char* end, EntryOutcome* out);

 private:
  // Why a path was listed with a note, or kNone.
  EntryReason ListedReason(const EntryOutcome& outcome) const;

  std::unique_ptr<MachineSession> session_;
  const Target& target_;
  const TargetCodePage& page_;
  std::string folder_;  // the uninstaller's folder as paths are compared
};

// Whether Windows takes the path past its own rules: "\\?\" and "\\.\"
// (either slash) hand it on as it stands, to any device or file system, and
// under Wine "\\?\unix\..." names the host's files.
bool IsDevicePath(std::string_view path);

}  // namespace uninstdat
