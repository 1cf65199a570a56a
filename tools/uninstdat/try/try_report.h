// What `try` tells the author about one family's run: the comparison of the
// snapshots before the run, after it and after the control run with what was
// staged, as typed records (what was staged and is left, the uninstaller
// left, keys left empty, entries that matched nothing staged, the restart
// question, and the safety report of what went though nobody staged it).
// Pure: the Wine side and the processes are try_session's; try_render.h
// writes the records as text, JSON and JUnit XML.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_state.h"
#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/stage/registry_export.h"
#include "tools/uninstdat/try/canaries.h"
#include "tools/uninstdat/try/snapshot.h"
#include "tools/uninstdat/try/wine_prefix.h"

namespace uninstdat {

// What the data file removes on this family, as the uninstaller will name
// it: for the safety report's "taken by" of an item that must stay.
struct RunTaker {
  enum Kind { kPath, kTree, kKey, kValue } kind;  // kTree: a folder with all it holds (the program group)
  std::string entry;  // how the report names it: removalEntries[3] "<Sys>\wdgt*.dll", ...
  std::string path;   // kPath and kTree: the Windows path on disk (UTF-8; * and ? match as DeleteFile's do)
  std::string key;    // kKey and kValue: ROOT\subkey as the data file names it (UTF-8)
  std::string value;  // kValue
};

// An item laid out beside the stage that must stay: a canary, or one of
// --also's.
struct MustStay {
  std::string laidBy;  // "--also", or the canary's kind ("vendor", "value", ...)
  std::optional<Placed> file;        // a file or folder, or
  std::optional<RegistryItem> item;  // a key or value
};

// Everything one family's run left to compare.
struct TryRun {
  uninst::OsFamilyValue family = uninst::kOsNt;
  const TargetCodePage* page = nullptr;  // the data file's: the runner speaks it
  RegistrySnapshot pristine;             // the hives of the pristine prefix
  Snapshot before, after, control;       // before the run, after it, after the control run
  std::vector<Placed> staged;            // what the stage put there (not --also)
  Placed installFolder, uninstaller, dataFile;
  std::vector<RegistryItem> exported;    // what the stage's export creates
  std::vector<std::pair<size_t, std::string>> listed;  // removal entries: index, path on disk (UTF-8)
  std::string runOutput, controlOutput, importOutput;  // the runner's accounts (code page bytes)
  std::vector<MustStay> mustStay;     // the canaries and --also's items, never counted as staged
  std::vector<RunTaker> takers;       // what the data file removes on this family
  std::string programGroup;           // the product's group folder as the uninstaller names it, or empty
  bool canariesLaid = false;          // false with --fresh
};

enum class TryItem { kFile, kFolder, kLink, kKey, kValue };

// One line of the report. Every text is valid UTF-8.
struct TryRecord {
  enum Kind {
    kBox, kError, kCanaries, kLeft, kUninstallerLeft, kLeftEmpty, kNote, kUnmatched, kRestart, kRemovedUnstaged
  };
  Kind kind = kBox;
  std::string text;                  // kBox: the runner's account of the box; kError: what went wrong
  TryItem item = TryItem::kFile;     // kLeft, kUninstallerLeft, kLeftEmpty, kRemovedUnstaged
  std::string path;                  // those, and kUnmatched
  std::optional<std::string> value;  // a registry value's name
  std::optional<TryItem> now;        // kRemovedUnstaged: what took the item's place
  size_t entry = 0;                  // kUnmatched: the removal entry
  bool asked = false;                // kRestart: whether the question was asked
  std::vector<std::string> deferred; // kRestart: the paths that resisted removal
  std::optional<std::string> note;   // kRestart; kNote: why a data file cannot remove the item
  std::optional<std::string> laidBy;   // kRemovedUnstaged: "--also" or the kind of the canary
  std::optional<std::string> takenBy;  // kRemovedUnstaged of such an item: the entry that took it
  std::array<size_t, kCanaryKinds> canaries{};  // kCanaries: how many of each kind were laid
};

struct FamilyReport {
  uninst::OsFamilyValue family = uninst::kOsNt;
  std::vector<TryRecord> records;  // in the order they are shown
  size_t left = 0, uninstallerLeft = 0, leftEmpty = 0, unmatched = 0, removedUnstaged = 0, errors = 0;
  size_t notes = 0;  // what a data file cannot remove, left empty: no fault
  bool restartAsked = false;
  int codePageSeen = 0;  // what the runner said Wine runs with, 0 if nothing
  // Nothing to mend: nothing left, nothing removed unstaged, no restart
  // question, no error (entries that matched nothing are only a hint).
  bool Clean() const {
    return !(left || uninstallerLeft || leftEmpty || removedUnstaged || restartAsked || errors);
  }
};

// The report of one run: records kBox, kError, kCanaries (when laid), kLeft,
// kUninstallerLeft, kLeftEmpty, kNote, kUnmatched (informational), kRestart,
// kRemovedUnstaged. An item that went in the run counts as Wine's own churn
// only when the control run changed the same item in the same way; nothing
// is filtered by its name or by a subtree. A canary or an item of --also is
// never counted as staged, whatever it lies in; one that went is a safety
// finding that names the entry that took it. What the data file's format
// cannot remove is a note, never a fault: a folder the stage made that
// holds the install folder or the program group, a vendor's key the stage
// made; left empty, or holding another product's (then it is the
// machine's).
FamilyReport CompareRun(const TryRun& run);

// Shows a location as a Windows path: drives as X:\..., HOME through the
// prefix's link to it (C:\users\<user>\Desktop\...), else as the sandbox
// names it (Z:\sandbox\home\...). Valid UTF-8.
std::string ShowLocation(const Location& location, const FileSnapshot& links);

}  // namespace uninstdat
