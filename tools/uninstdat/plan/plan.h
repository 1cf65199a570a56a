// What the uninstaller will do with a data file on one described machine,
// in the run's order, as records: the machine, the boxes, the programs
// tested, the shortcut and group deletions, the registry actions, each
// removal entry's outcome (judged by EntryEvaluator, as lint judges it),
// the closing box and the end. Rendered as text and as JSON by
// plan_render.h.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/entry_evaluator.h"
#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/model.h"

namespace uninstdat {

// Every text of a record is UTF-8.
struct PlanMachine {
  uninst::OsFamilyValue family;
  std::string exeFolder;
  bool allUsersFolders;  // the shortcuts are the all-users ones
};

enum class PlanBoxKind { kConfirmation, kRunningProgram, kClosing };
struct PlanBox {
  PlanBoxKind box;
  bool shown;
  std::string caption, text;  // when shown
  DataText emptyText;         // when not: the text that is empty (the prompt, or the caption)
};

struct PlanProgram {
  std::string path;  // a listed program that is tested for being in use
};

struct PlanShortcut {
  std::string path;  // what the shell is asked to delete, or the program group refused
  bool refused;      // the program group reaches the Programs folder itself or beyond it
};

struct PlanRegistry {
  bool deleteKey;  // the key with all its subkeys, else one value
  std::string key, value;
};

struct PlanEntry {
  size_t entry;
  std::string text;
  const char* alternate;  // default, nt, win98 or win95
  bool listed;
  std::string path;    // when listed
  EntryReason reason;  // EntryOutcome's
};

// Of kind `of` ("program", "shortcut", "registry", "entry") and `reason`,
// `count` records beyond the cap.
struct PlanOmitted {
  const char* of;
  std::string reason;
  size_t count;
};

struct PlanEnd {
  bool restartQuestion;
  std::string restartPrompt;  // when asked
  bool folderRemoved;         // false for a drive or share root
};

using PlanRecord =
    std::variant<PlanMachine, PlanBox, PlanProgram, PlanShortcut, PlanRegistry, PlanEntry, PlanOmitted, PlanEnd>;

// The run on one target. Of each kind of record and each reason only the
// first `maxPerReason` (0: all) are given, the others counted in one
// PlanOmitted after that kind's records. Each record goes to `emit` as soon
// as it is made, so that memory does not grow with the file.
void PlanRecords(const std::string& bytes, const TargetCodePage& page, const Target& target, size_t maxPerReason,
                 const std::function<void(const PlanRecord&)>& emit);

}  // namespace uninstdat
