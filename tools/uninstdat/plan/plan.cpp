// The plan of a run; see plan.h.
#include "tools/uninstdat/plan/plan.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/data_file.h"
#include "engine/file_removal.h"
#include "engine/registry.h"
#include "engine/restart_schedule.h"
#include "engine/shortcuts.h"
#include "tools/uninstdat/entry_evaluator.h"

namespace uninstdat {
namespace {

// Gives the first `max` records of each kind and reason (0: all) and counts
// the rest, for one PlanOmitted per kind and reason.
class Capper {
 public:
  Capper(size_t max, const std::function<void(const PlanRecord&)>& emit) : max_(max), emit_(emit) {}
  // `make` builds the record, and is called only for a record that is given.
  template <typename Make>
  void Give(const char* of, const char* reason, Make make) {
    size_t& seen = Seen(of, reason);
    if (!max_ || seen < max_) emit_(make());
    ++seen;
  }
  // The omitted records of kind `of`.
  void Close(const char* of) {
    std::sort(seen_.begin(), seen_.end());
    for (const auto& [key, seen] : seen_)
      if (key.first == of && max_ && seen > max_) emit_(PlanOmitted{of, key.second, seen - max_});
  }

 private:
  // The count of kind and reason, found without building strings: there are
  // few of them, and millions of records.
  size_t& Seen(const char* of, const char* reason) {
    for (auto& [key, seen] : seen_)
      if (key.first == of && key.second == reason) return seen;
    seen_.push_back({{of, reason}, 0});
    return seen_.back().second;
  }
  size_t max_;
  const std::function<void(const PlanRecord&)>& emit_;
  std::vector<std::pair<std::pair<std::string, std::string>, size_t>> seen_;
};

class Planner {
 public:
  Planner(const std::string& bytes, const TargetCodePage& page, const Target& target, size_t maxPerReason,
          const std::function<void(const PlanRecord&)>& emit)
      : texts_(SplitTexts(bytes)),
        page_(page),
        target_(target),
        session_(target, page),
        evaluator_(target, page),
        capper_(maxPerReason, emit),
        emit_(emit) {
    // The engine's parse of every text but the removal entries, which are
    // judged one by one with their reasons: the list of their paths would
    // grow with the file.
    others_ = bytes.substr(0, 4);
    if (bytes.size() >= 4) others_ += '\0';
    if (texts_.found > 0) others_.append(bytes, 4 + texts_[DataText::kRemovalEntries].size() + 1, std::string::npos);
    list_.Attach(&session_.platform);
    uninst::ParseDataFile(session_.state, others_.data(), static_cast<uint32_t>(others_.size()), list_);
  }

  void Run() {
    const uninst::UninstallData& data = session_.state.data;
    emit_(PlanMachine{target_.machine.family, Text(target_.exeFolder),
                      target_.machine.family == uninst::kOsNt && data.allUsers});
    Box(PlanBoxKind::kConfirmation, DataText::kConfirmPrompt, data.confirmPrompt);
    Box(PlanBoxKind::kRunningProgram, DataText::kRunningPrompt, data.runningPrompt);
    Programs();
    Shortcuts();
    Registry();
    Entries();
    Box(PlanBoxKind::kClosing, DataText::kClosingMessage, data.closingMessage);
    bool asked = Caption() && *data.restartPrompt;
    emit_(PlanEnd{asked, asked ? Text(data.restartPrompt) : "",
                  !uninst::IsDriveOrShareRoot(page_.codePage, target_.exeFolder.c_str())});
  }

 private:
  std::string Text(std::string_view bytes) const { return Utf8(page_, bytes); }
  bool Caption() const { return *session_.state.data.messageCaption != '\0'; }

  void Box(PlanBoxKind kind, DataText field, const char* message) {
    bool shown = Caption() && *message;
    PlanBox box{kind, shown, "", "", Caption() ? field : DataText::kMessageCaption};
    if (shown) {
      box.caption = Text(session_.state.data.messageCaption);
      box.text = Text(message);
    }
    emit_(box);
  }

  template <typename Visit>
  void ForEachEntry(Visit visit) {
    ForEachItem(page_.codePage, texts_[DataText::kRemovalEntries], '|', [&](std::string_view e, size_t i) {
      evaluator_.Evaluate(e.data(), e.data() + e.size(), &outcome_);
      visit(e, i);
    });
  }

  void Programs() {
    ForEachEntry([&](std::string_view, size_t) {
      if (outcome_.listed && uninst::IsExecutable(outcome_.path.c_str()))
        capper_.Give("program", "program", [&] { return PlanProgram{Text(outcome_.path)}; });
    });
    capper_.Close("program");
  }

  void Shortcuts() {
    std::string group = session_.state.data.programGroup;
    if (!group.empty() && !uninst::IsSafeProgramGroup(page_.codePage, group.c_str()))
      emit_(PlanShortcut{Text(group), true});
    session_.platform.onShellDelete = [&](const char* path) {
      capper_.Give("shortcut", "delete", [&] { return PlanShortcut{Text(path), false}; });
    };
    uninst::RemoveShortcuts(session_.state);
    capper_.Close("shortcut");
  }

  void Registry() {
    std::string copy = session_.state.data.registryList;
    uninst::WalkRegistryList(
        page_.codePage, &copy[0],
        [](void* context, const uninst::RegistryAction& a) {
          auto* planner = static_cast<Planner*>(context);
          planner->capper_.Give("registry", a.deleteTree ? "delete-key" : "delete-value", [&] {
            return PlanRegistry{a.deleteTree, planner->Text(std::string(a.rootName) + "\\" + a.subkey),
                                a.deleteTree ? "" : planner->Text(a.valueName)};
          });
        },
        this);
    capper_.Close("registry");
  }

  void Entries() {
    ForEachEntry([&](std::string_view e, size_t i) {
      const char* reason = outcome_.reason != EntryReason::kNone ? EntryReasonName(outcome_.reason)
                           : outcome_.listed                      ? "listed"
                                                                  : "dropped";
      capper_.Give("entry", reason, [&] {
        return PlanEntry{i, Text(e), outcome_.alternateName, outcome_.listed,
                         outcome_.listed ? Text(outcome_.path) : "", outcome_.reason};
      });
    });
    capper_.Close("entry");
  }

  DataFileTexts texts_;
  std::string others_;  // the file without its removal entries: the parsed texts point into it
  const TargetCodePage& page_;
  const Target& target_;
  MachineSession session_;
  uninst::RemovalList list_;
  EntryEvaluator evaluator_;
  EntryOutcome outcome_;
  Capper capper_;
  const std::function<void(const PlanRecord&)>& emit_;
};

}  // namespace

void PlanRecords(const std::string& bytes, const TargetCodePage& page, const Target& target, size_t maxPerReason,
                 const std::function<void(const PlanRecord&)>& emit) {
  Planner(bytes, page, target, maxPerReason, emit).Run();
}

}  // namespace uninstdat
