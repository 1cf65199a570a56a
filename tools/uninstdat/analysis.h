// What the uninstaller will do with a data file (plan) and the quiet faults
// that make it do less, or more, than its author meant (lint). Both run the
// engine's own parser, resolver and list walks on described machines, and
// both judge each removal entry through EvaluateEntry, so they agree.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
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
  bool hasText = false;
  std::string text;   // the entry's text (UTF-8) when the finding has an entry
  std::string what;
  std::string mend;
  bool note = false;     // told, but no fault: --strict passes
  bool allowed = false;  // acknowledged by an allow rule: --strict passes
};

// Every lint code, in the order of the README's table; `note` codes tell
// something the author may want to know without being a fault.
struct LintCode {
  const char* code;
  bool note;
};
const std::vector<LintCode>& LintCodes();

// An acknowledged finding: every finding of `code`, or with `anyText` false
// only those whose entry's text is `text` (bytes in the code page).
struct AllowRule {
  std::string code;
  bool anyText = true;
  std::string text;
};
// Reads "CODE" or "CODE=TEXT" (TEXT in UTF-8, as a finding shows it). False
// with `error` for a code that does not exist (naming the likeliest one) or
// a text that the code page cannot carry.
bool ParseAllowRule(const std::string& spec, const TargetCodePage& page, AllowRule* rule,
                    std::string* error);

// Findings in the order they are made, at most `keepPerCode` of each code
// (0: all), allowed ones counted apart; the others are only counted, so that
// a hostile file of millions of entries costs memory for the counts, not
// for its findings.
class Findings {
 public:
  explicit Findings(size_t keepPerCode = 0, std::vector<AllowRule> allow = {})
      : keepPerCode_(keepPerCode), allow_(std::move(allow)) {}
  Findings(const Findings&) = delete;  // counts point into allow_
  Findings& operator=(const Findings&) = delete;
  // Counts one finding of `code` about the entry text `text` (bytes in the
  // code page; nullopt when the finding has no entry). Returns whether it
  // is to be kept, so that the caller builds its texts only then and passes
  // them to Keep with `slot`.
  struct Slot {
    bool keep, note, allowed;
  };
  Slot Admit(const char* code, std::optional<std::string_view> text);
  void Keep(const Slot& slot, Finding finding);
  // Admit and Keep in one, for findings that are cheap to build.
  void Add(const std::string& code, const std::string& where, const std::string& what,
           const std::string& mend);

  const std::vector<Finding>& kept() const { return kept_; }
  // Per code, and apart for allowed findings, the number that were not kept.
  struct Omitted {
    std::string code;
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
  size_t keepPerCode_;
  std::vector<AllowRule> allow_;
  std::vector<Finding> kept_;
  struct Count {
    size_t plain = 0, allowed = 0;  // findings so far, not allowed and allowed
    bool note = false;
    std::vector<const AllowRule*> rules;  // the allow rules of the code
  };
  std::map<std::string, Count, std::less<>> counts_;
  size_t total_ = 0, notes_ = 0, allowed_ = 0;
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
  // Listed: matches-nothing (the path ends in a backslash), outside-machine
  // (a \\?\ or \\.\ path, which Windows takes past its path rules),
  // wildcard, install-folder, or null.
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

// The run in its order on one target, as records: the machine, the boxes,
// the programs tested, the shortcut and group deletions, the registry
// actions, each removal entry's outcome (with its reason code), the closing
// box and the end. Of each kind of record and each reason only the first
// `maxPerReason` (0: all) are given, the others counted in one record
// {"record": "omitted", "of", "reason", "count"} after that kind's records.
// Each record goes to `emit` as soon as it is made, so that memory does not
// grow with the file.
void PlanRecords(const std::string& bytes, const TargetCodePage& page, const Target& target,
                 size_t maxPerReason, const std::function<void(const Json&)>& emit);

// The same run, as text for people, written to `out` as it is made.
void Plan(const std::string& bytes, const TargetCodePage& page, const Target& target,
          size_t maxPerReason, std::ostream& out);

// "95", "98", "nt" or "unknown" for a family number.
const char* FamilyName(int family);

}  // namespace uninstdat
