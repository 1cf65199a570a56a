// The paths that uninst.exe will list and what each entry of the data file
// takes on one family's prefix, worked out from plan's records of the run
// (plan.h) with the folders of the prefix: what try's report checks the real
// run against. Pure: it reads no file and runs nothing.
#include <string>
#include <variant>

#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/plan/plan.h"
#include "tools/uninstdat/try/try_session_parts.h"

namespace uninstdat {
namespace {

// The share of a family's run (FamilyRun, try_session.cpp) that the listing
// reads and fills, under the names the run gives them.
class Listing {
 public:
  Listing(const WineView& view, const TargetCodePage& page, const std::string& dataFile, TryRun& run)
      : view_(view), page_(page), dataFile_(dataFile), run_(run) {}

  // The paths the uninstaller will list, by its own resolver on this
  // prefix's folders: for the deferred paths and the entries that match
  // nothing staged.
  Result<void> ListedPaths(std::string* listed) {
    Target target;
    target.machine = WineMachine(view_);
    target.exeFolder = run_.installFolder.windowsPath;
    Machine& m = target.machine;
    bool converts = true;
    for (std::string* text : {&m.windowsDir, &m.systemDir, &m.tempDir, &m.programFilesDir, &m.commonFilesDir,
                              &target.exeFolder}) {
      auto converted = page_.converter.ToAnsi(*text);
      converts = converts && converted;
      if (converted) *text = *converted;
    }
    for (auto& folder : m.shellFolders) {
      auto converted = page_.converter.ToAnsi(folder.second);
      converts = converts && converted;
      if (converted) folder.second = *converted;
    }
    if (!converts)
      return Failure{Exit::kBadInput, "the install folder or the prefix's user name has characters that code page " +
                                          std::to_string(page_.converter.number()) + " cannot carry"};
    // Every entry's record (no cap: 0), for the paths the run will remove.
    // The program group's folder as the uninstaller names it: the shell's
    // first delete, when the data file names a group.
    std::string group = Utf8(page_, SplitTexts(dataFile_)[DataText::kProgramGroup]);
    std::string groupFolder;
    if (!group.empty()) {
      groupFolder = ShellFolder(view_, "Programs") + "\\" + group;
      while (!groupFolder.empty() && groupFolder.back() == '\\') groupFolder.pop_back();
    }
    PlanRecords(dataFile_, page_, target, 0, [&](const PlanRecord& record) {
      if (const PlanShortcut* s = std::get_if<PlanShortcut>(&record); s && !s->refused) {
        bool isGroup = !groupFolder.empty() && UpperAscii(s->path) == UpperAscii(groupFolder);
        if (isGroup) run_.programGroup = s->path;
        run_.takers.push_back({isGroup ? RunTaker::kTree : RunTaker::kPath,
                               isGroup ? "programGroup \"" + group + "\"" : "the shortcut " + s->path, s->path, "", ""});
      } else if (const PlanRegistry* r = std::get_if<PlanRegistry>(&record)) {
        run_.takers.push_back({r->deleteKey ? RunTaker::kKey : RunTaker::kValue,
                               "registryList \"" + r->key + ";" + r->value + "\"", "", r->key, r->value});
      }
      const PlanEntry* entry = std::get_if<PlanEntry>(&record);
      if (!entry || !entry->listed) return;
      if (auto bytes = page_.converter.ToAnsi(entry->path)) *listed += *bytes + "\r\n";
      run_.listed.push_back({entry->entry, OnDiskPath(view_, entry->path)});
      run_.takers.push_back({RunTaker::kPath, "removalEntries[" + std::to_string(entry->entry) + "] \"" + entry->text + "\"",
                             OnDiskPath(view_, entry->path), "", ""});
    });
    return {};
  }

 private:
  const WineView& view_;
  const TargetCodePage& page_;
  const std::string& dataFile_;
  TryRun& run_;
};

}  // namespace

Result<void> ListUninstallerPaths(const WineView& view, const TargetCodePage& page, const std::string& dataFile,
                                  TryRun* run, std::string* listed) {
  return Listing(view, page, dataFile, *run).ListedPaths(listed);
}

}  // namespace uninstdat
