// The install folder of a captured installation; see install_folder.h.
#include "tools/uninstdat/capture/install_folder.h"

#include <algorithm>
#include <map>

#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

std::string ParentOf(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

// Whether `path` lies below `folder` (both upper case).
bool IsBelow(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '\\';
}

}  // namespace

InstallFolderChoice ChooseInstallFolder(const std::string& given, const std::vector<std::string>& uninstallers,
                                        const std::vector<std::string>& files, const std::vector<std::string>& folders) {
  InstallFolderChoice choice;
  if (!given.empty()) {
    choice.how = InstallFolderChoice::kGiven;
    choice.folder = given;
    return choice;
  }
  std::map<std::string, std::string> holders;  // upper case to as written
  for (const std::string& path : uninstallers) holders.emplace(UpperAscii(ParentOf(path)), ParentOf(path));
  if (holders.size() == 1) {
    choice.how = InstallFolderChoice::kUninstaller;
    choice.folder = holders.begin()->second;
    return choice;
  }
  if (holders.size() > 1) {
    choice.how = InstallFolderChoice::kSeveral;
    for (const auto& [upper, folder] : holders) choice.candidates.push_back(folder);
    return choice;
  }

  const std::string programFiles = "C:\\PROGRAM FILES";
  std::vector<std::string> added;  // the files below Program Files, upper case
  for (const std::string& path : files)
    if (IsBelow(UpperAscii(path), programFiles)) added.push_back(UpperAscii(path));
  if (added.empty()) return choice;
  std::map<std::string, std::string> own;  // added folders that hold files of their own
  for (const std::string& folder : folders) {
    std::string upper = UpperAscii(folder);
    if (!IsBelow(upper, programFiles)) continue;
    for (const std::string& path : added)
      if (ParentOf(path) == upper) own.emplace(upper, folder);
  }
  std::string deepest;
  for (const auto& candidate : own) {
    const std::string& upper = candidate.first;
    bool holdsAll = std::all_of(added.begin(), added.end(), [&](const std::string& path) { return IsBelow(path, upper); });
    if (holdsAll && upper.size() > UpperAscii(deepest).size()) deepest = candidate.second;
  }
  if (!deepest.empty()) {
    choice.how = InstallFolderChoice::kProgramFiles;
    choice.folder = deepest;
    return choice;
  }
  for (const auto& candidate : own) {
    const std::string& upper = candidate.first;
    bool topmost = std::none_of(own.begin(), own.end(), [&](const auto& other) { return IsBelow(upper, other.first); });
    if (topmost) choice.candidates.push_back(candidate.second);
  }
  if (choice.candidates.size() > 1) choice.how = InstallFolderChoice::kSeveral;
  else choice.candidates.clear();
  return choice;
}

const char* InstallFolderHowText(InstallFolderChoice::How how) {
  switch (how) {
    case InstallFolderChoice::kGiven: return "the --install-folder given";
    case InstallFolderChoice::kUninstaller: return "the folder of the installer's uninst.exe";
    case InstallFolderChoice::kProgramFiles: return "the deepest new folder below Program Files that holds every file added there";
    case InstallFolderChoice::kSeveral: return "several folders qualify";
    case InstallFolderChoice::kNone: break;
  }
  return "no folder qualifies";
}

}  // namespace uninstdat
