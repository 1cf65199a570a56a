// What the uninstaller will do with a data file (plan) and the quiet faults
// that make it do less, or more, than its author meant (lint). Both run the
// engine's own parser, resolver and list walks on described machines, and
// both judge each removal entry through EvaluateEntry, so they agree.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
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

// Findings in the order they are made, at most `keepPerCode` of each code
// (0: all); the others are only counted, so that a hostile file of millions
// of entries costs memory for the counts, not for its findings.
class Findings {
 public:
  explicit Findings(size_t keepPerCode = 0) : keepPerCode_(keepPerCode) {}
  void Add(const std::string& code, const std::string& where, const std::string& what,
           const std::string& mend);
  // Counts one finding of `code`; true when it is to be kept, so that the
  // caller builds its texts only then (and then calls Keep).
  bool Admit(const char* code);
  void Keep(Finding finding) { kept_.push_back(std::move(finding)); }
  const std::vector<Finding>& kept() const { return kept_; }
  // Code to the number of its findings that were not kept.
  std::map<std::string, size_t> omitted() const;
  size_t total() const { return total_; }

 private:
  size_t keepPerCode_;
  std::vector<Finding> kept_;
  std::map<std::string, size_t, std::less<>> counts_;
  size_t total_ = 0;
};

// One machine that lint or plan looks at: a family, its folders and the
// uninstaller's folder on it, every text in the target code page.
struct Target {
  Machine machine;
  std::string exeFolder;
};

// The targets for `families` (1 Windows 95, 2 Windows 98/Me, 3 NT family, 0
// unknown): each family's default machine, with the folders of
// `machineJson` (may be null) over it, and the uninstaller's folder
// `exeFolderUtf8`, or the machine's ProgramFilesDir and "\Application" when
// it is empty. False with `error` when a text cannot be written in the code
// page or does not fit a path.
bool MakeTargets(const std::vector<int>& families, const Json* machineJson,
                 const std::string& exeFolderUtf8, const TargetCodePage& target,
                 std::vector<Target>* targets, std::string* error);

// What one removal entry yields on one machine.
struct EntryOutcome {
  std::string_view alternate;             // the text chosen, in the code page
  const char* alternateName = "default";  // default, nt, win98 or win95
  bool listed = false;                    // a path goes into the removal list
  std::string path;                       // that path
  std::string upper;                      // the path with a-z in upper case
  // Dropped: macro-without-backslash, folder-unavailable, path-does-not-fit.
  // Listed: matches-nothing (the path ends in a backslash), wildcard,
  // install-folder, or null.
  const char* reason = nullptr;
};
// Judges removal entries on one target with the engine's ChooseAlternate and
// BuildRemovalPath, the calls the uninstaller's parser makes.
class EntryEvaluator {
 public:
  EntryEvaluator(const Target& target, const TargetCodePage& page);
  ~EntryEvaluator();
  EntryEvaluator(const EntryEvaluator&) = delete;
  EntryEvaluator& operator=(const EntryEvaluator&) = delete;
  // The entry [entry, end), without its "|", into `out` (whose buffers are
  // reused from call to call).
  void Evaluate(const char* entry, const char* end, EntryOutcome* out);

  // The engine's run state over the described machine.
  struct Session;

 private:
  std::unique_ptr<Session> session_;
  const Target& target_;
  const TargetCodePage& page_;
  std::string folder_;  // the uninstaller's folder as paths are compared
};

// Lints the data file `bytes` on every target. `decodeProblems` are those of
// Decode. Memory stays linear in the number of distinct paths.
void Lint(const std::string& bytes, const std::vector<std::string>& decodeProblems,
          const TargetCodePage& page, const std::vector<Target>& targets, Findings* findings);

// The run in its order on one target, as text for people.
std::string Plan(const std::string& bytes, const TargetCodePage& page, const Target& target);

// The same as records: one per box, program test, shortcut, registry action,
// removal entry (with its outcome and reason code) and end of the run.
std::vector<Json> PlanRecords(const std::string& bytes, const TargetCodePage& page,
                              const Target& target);

// Why the key tree `upperSubkey` (a-z in upper case, no trailing backslash
// needed) under `root` belongs to Windows or to every program, or null.
const char* SharedTree(uninst::RegKey root, const std::string& upperSubkey);

// "95", "98", "nt" or "unknown" for a family number.
const char* FamilyName(int family);

}  // namespace uninstdat
