// The plan rendered; see plan_render.h.
#include "tools/uninstdat/plan/plan_render.h"

#include <cstring>

#include "tools/uninstdat/families.h"

namespace uninstdat {
namespace {

const char* BoxName(PlanBoxKind box) {
  return box == PlanBoxKind::kConfirmation ? "confirmation" : box == PlanBoxKind::kRunningProgram ? "running-program" : "closing";
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

struct JsonVisitor {
  Json operator()(const PlanMachine& m) const {
    return {{"record", "machine"}, {"family", FamilyName(m.family)}, {"exeFolder", m.exeFolder},
            {"shortcutFolders", m.allUsersFolders ? "all-users" : "own"}};
  }
  Json operator()(const PlanBox& b) const {
    Json record = {{"record", "box"}, {"box", BoxName(b.box)}, {"shown", b.shown}};
    if (b.shown) {
      record["caption"] = b.caption;
      record["text"] = b.text;
    } else {
      record["reason"] = std::string(uninst::Layout(b.emptyText).name) + " is empty";
    }
    return record;
  }
  Json operator()(const PlanProgram& p) const { return {{"record", "program"}, {"path", p.path}}; }
  Json operator()(const PlanShortcut& s) const {
    if (s.refused) return {{"record", "shortcut"}, {"refused", s.path}, {"reason", "program-group-refused"}};
    return {{"record", "shortcut"}, {"delete", s.path}};
  }
  Json operator()(const PlanRegistry& r) const {
    Json record = {{"record", "registry"}, {"action", r.deleteKey ? "delete-key" : "delete-value"}, {"key", r.key}};
    if (!r.deleteKey) record["value"] = r.value;
    return record;
  }
  Json operator()(const PlanEntry& e) const {
    Json record = {{"record", "entry"}, {"entry", e.entry}, {"text", e.text}, {"alternate", e.alternate},
                   {"outcome", e.listed ? "listed" : "dropped"}};
    if (e.listed) record["path"] = e.path;
    if (e.reason != EntryReason::kNone) record["reason"] = EntryReasonName(e.reason);
    return record;
  }
  Json operator()(const PlanOmitted& o) const {
    return {{"record", "omitted"}, {"of", o.of}, {"reason", o.reason}, {"count", o.count}};
  }
  Json operator()(const PlanEnd& e) const {
    Json record = {{"record", "end"}, {"restartQuestion", e.restartQuestion}, {"folderRemoved", e.folderRemoved}};
    if (e.restartQuestion) record[uninst::Layout(DataText::kRestartPrompt).name] = e.restartPrompt;
    return record;
  }
};

std::string BoxText(const PlanBox& b, const char* shown, const char* notShown) {
  if (b.shown) return "box " + Quote(b.caption) + ": " + Quote(b.text) + shown + "\n";
  return "no box (" + std::string(uninst::Layout(b.emptyText).name) + " is empty)" + notShown;
}

std::string EntryText(const PlanEntry& e) {
  EntryReason reason = e.reason;
  if (!e.listed)
    return "     dropped: " + std::string(uninst::Layout(DataText::kRemovalEntries).name) + "[" +
           std::to_string(e.entry) + "] " + Quote(e.text) + ": " +
           (reason == EntryReason::kMacroWithoutBackslash ? "a macro without a backslash"
            : reason == EntryReason::kFolderUnavailable   ? "the macro's folder cannot be had"
                                                          : "the path does not fit 258 characters") +
           "\n";
  std::string text = "     " + e.path;
  if (reason == EntryReason::kMatchesNothing) text += "   (ends in a backslash: matches nothing, passed over)";
  if (reason == EntryReason::kWildcard) text += "   (a pattern: at most its first match goes, then a restart is offered)";
  if (reason == EntryReason::kOutsideMachine) text += "   (a \\\\?\\ or \\\\.\\ path: Windows hands it on past its path rules, to whatever it names)";
  if (reason == EntryReason::kInstallFolder) text += "   (the uninstaller's own folder: it still holds uninst.exe, stays, and the run ends with the restart question)";
  return text + "\n";
}

std::string EndText(const PlanEnd& end, const std::string& exeFolder) {
  std::string text = "7. If something resisted removal: ";
  if (end.restartQuestion)
    text += "box " + Quote(end.restartPrompt) + "\n" +
            "     Yes: the leftovers, the uninstaller and its folder are deleted when Windows restarts\n"
            "     No: the leftovers, the uninstaller and its folder stay; nothing is scheduled\n";
  else
    text += "no restart question (a text is empty): the leftovers, the uninstaller and its folder stay\n";
  text += "   Otherwise: a batch file deletes the uninstaller and its folder after the run.\n";
  if (!end.folderRemoved)
    text += "   The uninstaller's folder " + exeFolder +
            " is a drive or share root: it is never removed or scheduled, only uninst.exe goes.\n";
  return text;
}

}  // namespace

Json PlanJson(const PlanRecord& record) { return std::visit(JsonVisitor(), record); }

struct PlanTextVisitor {
  PlanText& plan;
  std::string operator()(const PlanMachine& m) const {
    plan.exeFolder_ = m.exeFolder;
    plan.allUsersFolders_ = m.allUsersFolders;
    return std::string("Windows family: ") + FamilyLongName(m.family) + " (OsFamily " + std::to_string(m.family) +
           "); uninstaller folder: " + m.exeFolder + "\n";
  }
  std::string operator()(const PlanBox& b) const {
    if (b.box == PlanBoxKind::kConfirmation)
      return "1. Confirmation: " + BoxText(b, " (OK goes on, anything else ends the run)", "; the run goes on\n");
    if (b.box == PlanBoxKind::kRunningProgram) {
      plan.section_ = PlanText::kPrograms;
      return "2. Running programs: while one of these is in use, " +
             BoxText(b, " (OK tests again, Cancel ends the run)", "; its deletion fails later\n");
    }
    return plan.Enter(PlanText::kClosing) + "6. Closing: " + BoxText(b, "", "\n") + "   The data file is deleted.\n";
  }
  std::string operator()(const PlanProgram& p) const { return plan.Enter(PlanText::kPrograms) + "     " + p.path + "\n"; }
  std::string operator()(const PlanShortcut& s) const {
    if (s.refused)
      return plan.Enter(PlanText::kShortcuts) + "     refused: the program group " + Quote(s.path) +
             " would reach the Programs folder itself or beyond it\n";
    return plan.Enter(PlanText::kShortcuts) + "     delete " + s.path + "\n";
  }
  std::string operator()(const PlanRegistry& r) const {
    if (r.deleteKey) return plan.Enter(PlanText::kRegistry) + "     delete key " + r.key + " with all its subkeys\n";
    return plan.Enter(PlanText::kRegistry) + "     delete value " + Quote(r.value) + " of " + r.key + "\n";
  }
  std::string operator()(const PlanEntry& e) const { return plan.Enter(PlanText::kEntries) + EntryText(e); }
  std::string operator()(const PlanOmitted& o) const {
    PlanText::Section section = strcmp(o.of, "program") == 0    ? PlanText::kPrograms
                                : strcmp(o.of, "shortcut") == 0 ? PlanText::kShortcuts
                                : strcmp(o.of, "registry") == 0 ? PlanText::kRegistry
                                                                : PlanText::kEntries;
    return plan.Enter(section) + "     ... and " + std::to_string(o.count) + " more (" + o.of + ": " + o.reason +
           "; --max-per-reason 0 lists all)\n";
  }
  std::string operator()(const PlanEnd& e) const { return EndText(e, plan.exeFolder_); }
};

std::string PlanText::operator()(const PlanRecord& record) { return std::visit(PlanTextVisitor{*this}, record); }

// Ends the sections before `section` (saying so where one had nothing) and
// writes the headers up to it.
std::string PlanText::Enter(Section section) {
  std::string text;
  while (section_ < section) {
    if (section_ >= kPrograms && !lines_)
      text += section_ == kPrograms ? "     (no program among the listed files)\n" : "     (nothing)\n";
    section_ = static_cast<Section>(section_ + 1);
    lines_ = 0;
    if (section_ == kShortcuts)
      text += std::string("3. Program group and shortcuts (") +
              (allUsersFolders_ ? "all users' folders" : "the user's own folders") +
              "; Send To is always the user's own):\n";
    if (section_ == kRegistry) text += "4. Registry:\n";
    if (section_ == kEntries) text += "5. Files and folders, in this order (a folder goes only when empty at its turn):\n";
  }
  ++lines_;
  return text;
}

}  // namespace uninstdat
