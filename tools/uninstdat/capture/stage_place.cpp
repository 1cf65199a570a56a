// The prefix's folders mapped back to the stage's; see stage_place.h.
#include "tools/uninstdat/capture/stage_place.h"

#include <optional>

#include "tools/uninstdat/names.h"
#include "tools/uninstdat/shell_folders.h"

namespace uninstdat {
namespace {

// What follows the folder `folder` (components separated by "/", any ASCII
// case) in `path`: "" for the folder itself, nothing when `path` is not in it.
std::optional<std::string> Below(const std::string& path, const std::string& folder) {
  if (UpperAscii(path.substr(0, folder.size())) != UpperAscii(folder)) return std::nullopt;
  if (path.size() == folder.size()) return std::string();
  if (path[folder.size()] != '/') return std::nullopt;
  return path.substr(folder.size() + 1);
}

std::string Join(const std::string& folder, const std::string& rest) {
  return rest.empty() ? folder : folder + "/" + rest;
}

StagePlace Shell(const std::string& name, const std::string& rest, bool allUsers) {
  StagePlace place;
  place.stagePath = Join("shell/" + name, rest);
  place.shell = true;
  place.allUsers = allUsers;
  return place;
}

StagePlace Files(const std::string& path) {
  StagePlace place;
  place.stagePath = Join("files/C", path);
  return place;
}

StagePlace Other(StagePlace::Kind kind) {
  StagePlace place;
  place.kind = kind;
  return place;
}

}  // namespace

StagePlace PlaceInStage(const Location& where, const CaptureView& view) {
  const std::string& path = where.path;
  if (where.root == "HOME") {
    // HOME holds what the prefix's links lead to: the user's Desktop,
    // Documents, ...; of them only the Desktop is a shell folder of a stage.
    if (auto rest = Below(path, "Desktop")) return Shell("Desktop", *rest, false);
    return Other(StagePlace::kProfile);
  }
  if (where.root != "C") return Other(StagePlace::kOtherDrive);

  // The prefix's shell folders, as try lays them out: the deepest one that
  // holds the path (Startup lies in Programs, Programs in the Start Menu).
  const ShellFolderKind* best = nullptr;
  bool bestCommon = false;
  size_t bestLength = 0;
  std::string bestRest;
  for (const auto& [id, folder] : ProfileShellFolders("C:\\users", view.user, "StartUp")) {
    std::string relative = folder.substr(3);  // after "C:\\"
    for (char& c : relative)
      if (c == '\\') c = '/';
    bool common = false;
    const ShellFolderKind* kind = ShellFolderById(id, &common);
    auto rest = Below(path, relative);
    if (kind && rest && relative.size() > bestLength) {
      best = kind, bestCommon = common, bestLength = relative.size(), bestRest = *rest;
    }
  }
  if (best) return Shell(best->stageName, bestRest, bestCommon);
  if (Below(path, "users")) return Other(StagePlace::kProfile);

  // The installer's own Program Files and system folder are the stage's;
  // the other bits' are out of its view.
  const char* own32 = view.wow64 ? "Program Files (x86)" : "Program Files";
  const char* other32 = view.wow64 ? "Program Files" : "Program Files (x86)";
  const char* ownSystem = view.wow64 ? "windows/syswow64" : "windows/system32";
  const char* otherSystem = view.wow64 ? "windows/system32" : "windows/syswow64";
  if (auto rest = Below(path, own32)) return Files(Join("Program Files", *rest));
  if (Below(path, other32)) return Other(StagePlace::kOtherView);
  if (auto rest = Below(path, ownSystem)) return Files(Join("Windows/System32", *rest));
  if (Below(path, otherSystem)) return Other(StagePlace::kOtherView);
  if (auto rest = Below(path, "windows")) return Files(Join("Windows", *rest));
  return Files(path);
}

std::string PrefixWindowsPath(const Location& where, const CaptureView& view) {
  std::string path = where.path;
  for (char& c : path)
    if (c == '/') c = '\\';
  if (where.root == "HOME") return "C:\\users\\" + view.user + (path.empty() ? "" : "\\" + path);
  return where.root + ":\\" + path;
}

std::string KeyAsNamed(const std::string& key, const CaptureView& view) {
  struct Fold {
    const char* stored;  // as Wine keeps it (upper case)
    const char* named;   // as the program names it
    bool thirtyTwoBit;   // a key of the 32-bit view
  };
  static const Fold kFolds[] = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\WOW6432NODE", "HKEY_CLASSES_ROOT", true},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE\\CLASSES", "HKEY_CLASSES_ROOT", true},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE", "HKEY_LOCAL_MACHINE\\Software", true},
      {"HKEY_CURRENT_USER\\SOFTWARE\\CLASSES\\WOW6432NODE", "HKEY_CURRENT_USER\\Software\\Classes", true},
      {"HKEY_CURRENT_USER\\SOFTWARE\\WOW6432NODE", "HKEY_CURRENT_USER\\Software", true},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES", "HKEY_CLASSES_ROOT", false},
  };
  std::string upper = UpperAscii(key);
  for (const Fold& fold : kFolds) {
    std::string stored = fold.stored;
    if (upper.compare(0, stored.size(), stored) != 0) continue;
    if (upper.size() > stored.size() && upper[stored.size()] != '\\') continue;
    if (fold.thirtyTwoBit && !view.wow64) return "";
    return fold.named + key.substr(stored.size());
  }
  return key;
}

}  // namespace uninstdat
