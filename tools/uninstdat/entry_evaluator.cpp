// Removal entries judged on a described machine; see entry_evaluator.h.
#include "tools/uninstdat/entry_evaluator.h"

#include <iterator>

#include "engine/data_file.h"
#include "engine/locations.h"
#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

const char* const kAlternateNames[] = {"default", "nt", "win98", "win95"};

struct ReasonName {
  EntryReason reason;
  const char* name;  // stable: plan's text and JSON records carry it
};

// Every reason and its name, in the order of EntryReason.
constexpr ReasonName kReasonNames[] = {
    {EntryReason::kNone, nullptr},
    {EntryReason::kMacroWithoutBackslash, "macro-without-backslash"},
    {EntryReason::kFolderUnavailable, "folder-unavailable"},
    {EntryReason::kPathDoesNotFit, "path-does-not-fit"},
    {EntryReason::kMatchesNothing, "matches-nothing"},
    {EntryReason::kOutsideMachine, "outside-machine"},
    {EntryReason::kWildcard, "wildcard"},
    {EntryReason::kInstallFolder, "install-folder"},
};

constexpr bool InReasonOrder() {
  for (size_t i = 0; i < std::size(kReasonNames); ++i)
    if (static_cast<size_t>(kReasonNames[i].reason) != i) return false;
  return true;
}
static_assert(InReasonOrder(), "kReasonNames lists the reasons in the order of EntryReason");
static_assert(std::size(kReasonNames) == static_cast<size_t>(EntryReason::kInstallFolder) + 1, "a name per reason");

}  // namespace

const char* EntryReasonName(EntryReason reason) { return kReasonNames[static_cast<size_t>(reason)].name; }

bool IsDevicePath(std::string_view path) {
  auto slash = [](char c) { return c == '\\' || c == '/'; };
  return path.size() >= 3 && slash(path[0]) && slash(path[1]) && (path[2] == '.' || path[2] == '?') &&
         (path.size() == 3 || slash(path[3]));
}

MachineSession::MachineSession(const Target& target, const TargetCodePage& page)
    : platform(target.machine, page.codePage), state(platform) {
  state.osFamily = target.machine.family;
  state.codePage = page.codePage;
  uninst::CopyBounded(state.exeFolder, uninst::kMaxPath, target.exeFolder.c_str());
}

EntryEvaluator::EntryEvaluator(const Target& target, const TargetCodePage& page)
    : session_(new MachineSession(target, page)),
      target_(target),
      page_(page),
      folder_(NormalizePath(page.codePage, UpperAscii(target.exeFolder, page.codePage))) {}

void EntryEvaluator::Evaluate(const char* entry, const char* end, EntryOutcome* out) {
  const uninst::CodePage& cp = page_.codePage;
  EntryOutcome& outcome = *out;
  uninst::TextRange alt = uninst::ChooseAlternate(cp, entry, end, target_.machine.family);
  outcome.alternate = std::string_view(alt.begin, alt.length);
  outcome.alternateName = kAlternateNames[0];
  outcome.listed = false;
  outcome.reason = EntryReason::kNone;
  outcome.path.clear();
  outcome.upper.clear();
  if (alt.begin != entry) {
    // Which alternate: count the ";" before it.
    int index = 0;
    for (const char* p = entry; (p = cp.Find(p, alt.begin, ';')); ++p) ++index;
    outcome.alternateName = kAlternateNames[index < 4 ? index : 3];
  }
  char work[uninst::kMaxPath];
  uninst::TextRange path;
  bool macro = cp.Find(alt.begin, alt.begin + alt.length, '<') != nullptr;
  if (!uninst::BuildRemovalPath(session_->state, alt, work, &path)) {
    size_t backslash = outcome.alternate.find('\\');
    if (macro && backslash == std::string_view::npos) {
      outcome.reason = EntryReason::kMacroWithoutBackslash;
    } else if (macro) {
      // The folder of the first component, or the joined path, did not do.
      std::string first(outcome.alternate.substr(0, backslash));
      bool folder = first.size() < uninst::kMaxPath &&
                    uninst::ResolveLocationMacro(session_->state, first.c_str()) != nullptr;
      outcome.reason = folder ? EntryReason::kPathDoesNotFit : EntryReason::kFolderUnavailable;
    } else {
      outcome.reason = EntryReason::kPathDoesNotFit;
    }
    return;
  }
  outcome.listed = true;
  outcome.path.assign(path.begin, path.length);
  outcome.upper.assign(path.begin, path.length);
  UpperAsciiInPlace(cp, &outcome.upper);
  outcome.reason = ListedReason(outcome);
}

EntryReason EntryEvaluator::ListedReason(const EntryOutcome& outcome) const {
  const uninst::CodePage& cp = page_.codePage;
  if (cp.EndsWithSeparator(outcome.path.c_str())) return EntryReason::kMatchesNothing;
  if (IsDevicePath(outcome.path)) return EntryReason::kOutsideMachine;
  if (outcome.path.find_first_of("*?") != std::string::npos) return EntryReason::kWildcard;
  if (outcome.upper == folder_ ||
      ((outcome.upper.find(".\\") != std::string::npos || outcome.upper.back() == '.') &&
       NormalizePath(cp, outcome.upper) == folder_))
    return EntryReason::kInstallFolder;
  return EntryReason::kNone;
}

}  // namespace uninstdat
