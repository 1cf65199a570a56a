// The shell folders declared once; see shell_folders.h.
#include "tools/uninstdat/shell_folders.h"

#include "platform/platform.h"

namespace uninstdat {
namespace {

using uninst::DataText;
using uninst::UninstallData;

const ShellFolderKind kKinds[kShellFolderKindCount] = {
    {"Programs", DataText::kProgramGroup, &UninstallData::programGroup, uninst::kCsidlPrograms,
     uninst::kCsidlCommonPrograms, "programs", "commonPrograms"},
    {"Desktop", DataText::kDesktopShortcuts, &UninstallData::desktopShortcuts, uninst::kCsidlDesktopDirectory,
     uninst::kCsidlCommonDesktopDirectory, "desktop", "commonDesktop"},
    {"SendTo", DataText::kSendToShortcuts, &UninstallData::sendToShortcuts, uninst::kCsidlSendTo, -1, "sendTo",
     nullptr},
    {"StartMenu", DataText::kStartMenuShortcuts, &UninstallData::startMenuShortcuts, uninst::kCsidlStartMenu,
     uninst::kCsidlCommonStartMenu, "startMenu", "commonStartMenu"},
    {"Startup", DataText::kStartupShortcuts, &UninstallData::startupShortcuts, uninst::kCsidlStartup,
     uninst::kCsidlCommonStartup, "startup", "commonStartup"},
};

}  // namespace

const ShellFolderKind* ShellFolderKinds() { return kKinds; }

const ShellFolderKind* ShellFolderByStageName(std::string_view name) {
  for (const ShellFolderKind& kind : kKinds)
    if (name == kind.stageName) return &kind;
  return nullptr;
}

const ShellFolderKind* ShellFolderByList(DataText list) {
  for (const ShellFolderKind& kind : kKinds)
    if (kind.list == list) return &kind;
  return nullptr;
}

const ShellFolderKind* ShellFolderById(int folder, bool* common) {
  for (const ShellFolderKind& kind : kKinds) {
    if (kind.ownFolder == folder || kind.commonFolder == folder) {
      *common = kind.commonFolder == folder;
      return &kind;
    }
  }
  return nullptr;
}

std::map<int, std::string> ProfileShellFolders(const std::string& users, const std::string& user,
                                               const std::string& startup) {
  const std::string own = users + "\\" + user + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
  const std::string all = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  return {
      {uninst::kCsidlDesktopDirectory, users + "\\" + user + "\\Desktop"},
      {uninst::kCsidlCommonDesktopDirectory, users + "\\Public\\Desktop"},
      {uninst::kCsidlSendTo, users + "\\" + user + "\\AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
      {uninst::kCsidlStartMenu, own},
      {uninst::kCsidlPrograms, own + "\\Programs"},
      {uninst::kCsidlStartup, own + "\\Programs\\" + startup},
      {uninst::kCsidlCommonStartMenu, all},
      {uninst::kCsidlCommonPrograms, all + "\\Programs"},
      {uninst::kCsidlCommonStartup, all + "\\Programs\\" + startup},
  };
}

}  // namespace uninstdat
