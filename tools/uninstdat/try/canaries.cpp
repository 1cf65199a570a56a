// Canaries laid beside the product's items; see canaries.h.
#include "tools/uninstdat/try/canaries.h"

#include <map>
#include <set>

#include "engine/locations.h"
#include "tools/uninstdat/key_shape.h"
#include "tools/uninstdat/names.h"
#include "tools/uninstdat/reference.h"
#include "tools/uninstdat/stage/stage.h"
#include "tools/uninstdat/try/try_report_parts.h"

namespace uninstdat {

const char kCanaryProduct[] = "Another Product";
const char kCanaryProgram[] = "Another Program";
const char kCanaryUser[] = "Another User";

namespace {

std::string ParentOf(const std::string& path) {
  size_t backslash = path.rfind('\\');
  return backslash == std::string::npos ? "" : path.substr(0, backslash);
}

// "widget.ini" -> "widget_other.ini": a wildcard of the staged name
// (widget*, widget*.ini, *.ini) takes it too.
std::string OtherName(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + "_other";
  return name.substr(0, dot) + "_other" + name.substr(dot);
}

std::string Backslashed(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

class Planner {
 public:
  explicit Planner(const CanaryStage& stage) : stage_(stage) {
    for (const Placed& item : stage.staged) placed_[UpperAscii(item.windowsPath)] = &item;
    if (stage.pristine)
      for (const RegistryName& name : *stage.pristine)
        if (!name.isValue) pristineKeys_.insert(UpperAscii(name.key));
  }

  CanaryPlan Plan() {
    VendorKeys();
    ValuesBesideTheProducts();
    VendorFolderAndGroup();
    FilesBesideTheProducts();
    Shortcuts();
    SecondUser();
    return std::move(plan_);
  }

 private:
  void Value(CanaryKind kind, const std::string& key, const std::string& value, bool ownKey) {
    if (!values_.insert(UpperAscii(key) + "\n" + UpperAscii(value)).second) return;
    // Nothing a stage's export may not hold (a service's key, RunOnce, ...).
    if (!CheckRegistryExport({{key, value, false}}, {})) return;
    plan_.registry.push_back({kind, key, value, ownKey});
  }
  void File(CanaryKind kind, const std::string& path) {
    if (files_.insert(UpperAscii(path)).second) plan_.items.push_back({kind, path});
  }
  // A folder the stage made (the pristine prefix lacks it).
  bool StageMade(const std::string& folder) const {
    auto it = placed_.find(UpperAscii(folder));
    return it != placed_.end() && it->second->folder && !it->second->existed;
  }
  // A folder of the machine that the stage passes through.
  bool MachineHas(const std::string& folder) const {
    auto it = placed_.find(UpperAscii(folder));
    return it != placed_.end() && it->second->folder && it->second->existed;
  }

  // Another product of the vendor: a key beside the product's below each
  // vendor key the export creates without a value of its own.
  void VendorKeys() {
    std::set<std::string> withValues;
    for (const RegistryItem& item : stage_.exported)
      if (!item.value.empty() || item.defaultValue) withValues.insert(CanonicalKey(item.key));
    for (const RegistryItem& item : stage_.exported)
      if (item.value.empty() && !item.defaultValue && JudgeWholeKey(item.key).kind == KeyVerdict::kVendor &&
          !withValues.count(CanonicalKey(item.key)))
        Value(CanaryKind::kVendor, item.key + "\\" + kCanaryProduct, "Version", true);
  }

  // Whether `key` is one of Windows': a key every fresh machine has, or, below
  // HKEY_CLASSES_ROOT deeper than that list goes (a file type's verbs,
  // txtfile\shell\open), a key the pristine prefix has. The list judges
  // such a key by its ancestor, which would take a verb the product adds
  // (txtfile\shell\Widget) for Windows' and lay a canary inside it, where a
  // sound data file removes it; the report judges these keys the same way.
  bool WindowsHas(const std::string& key) const {
    std::string canonical = CanonicalKey(key);
    if (canonical.empty()) return false;
    if (!BelowFreshKeyList(canonical)) return FreshMachineHasKey(canonical);
    for (const std::string& form : HiveForms(canonical))
      if (pristineKeys_.count(form)) return true;
    return false;
  }

  // Another program's value beside each value the product adds to a key of
  // Windows, and its key beside each key the product makes directly below
  // one; never directly below a root, whose keys are Windows' own.
  void ValuesBesideTheProducts() {
    for (const RegistryItem& item : stage_.exported) {
      std::string canonical = CanonicalKey(item.key);
      if (canonical.empty()) continue;
      if (!item.value.empty() || item.defaultValue) {
        if (WindowsHas(item.key) || IsRunKey(item.key))
          Value(CanaryKind::kValue, item.key, kCanaryProgram, false);
        continue;
      }
      std::string parent = ParentOf(item.key);
      if (ParentOf(parent).empty() || WindowsHas(item.key)) continue;
      if (WindowsHas(parent))
        Value(CanaryKind::kValue, parent + "\\" + kCanaryProgram, "DisplayName", true);
    }
  }

  // Another product of the vendor beside the install folder when the stage
  // made the folder that holds it, and beside the program group when that
  // lies in a folder of its own below Programs.
  void VendorFolderAndGroup() {
    std::string vendor = ParentOf(stage_.installFolder);
    if (StageMade(vendor))
      File(CanaryKind::kVendor, vendor + "\\" + kCanaryProduct + "\\readme.txt");
    std::string group = StageGroup(stage_.shellItems);
    size_t slash = group.rfind('/');
    if (slash != std::string::npos)
      File(CanaryKind::kVendor, ShellFolder(stage_.view, "Programs") + "\\" + Backslashed(group.substr(0, slash)) +
                                    "\\" + kCanaryProduct + "\\" + kCanaryProduct + ".lnk");
  }

  // Another program's file beside each staged file that lies in a folder of
  // the machine, named so that a wildcard of the product's name takes it.
  void FilesBesideTheProducts() {
    for (const Placed& item : stage_.staged) {
      std::string folder = ParentOf(item.windowsPath);
      if (item.folder || !MachineHas(folder)) continue;
      File(CanaryKind::kFile, folder + "\\" + OtherName(item.windowsPath.substr(folder.size() + 1)));
    }
  }

  // Another program's shortcut in each shell folder that holds shortcuts,
  // the user's own and the all-users ones.
  void Shortcuts() {
    Machine m = WineMachine(stage_.view);
    for (int csidl : {uninst::kCsidlDesktopDirectory, uninst::kCsidlCommonDesktopDirectory, uninst::kCsidlStartMenu,
                      uninst::kCsidlCommonStartMenu, uninst::kCsidlStartup, uninst::kCsidlCommonStartup,
                      uninst::kCsidlSendTo})
      File(CanaryKind::kShortcut, m.shellFolders[csidl] + "\\" + kCanaryProgram + ".lnk");
  }

  // On the NT family, a second user with the product's shortcuts: a data
  // file's per-user shortcuts are the running user's alone.
  void SecondUser() {
    if (stage_.view.family != uninst::kOsNt) return;
    std::string profile = std::string("C:\\users\\") + kCanaryUser;
    for (const std::string& item : stage_.shellItems) {
      size_t slash = item.find('/');
      std::string folder = item.substr(0, slash), rest = slash == std::string::npos ? "" : item.substr(slash + 1);
      if (rest.empty()) continue;
      if (folder == "Desktop")
        File(CanaryKind::kUser, profile + "\\Desktop\\" + Backslashed(rest));
      else if (folder == "Programs")
        File(CanaryKind::kUser,
             profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\" + Backslashed(rest));
    }
  }

  const CanaryStage& stage_;
  std::map<std::string, const Placed*> placed_;  // by upper-case Windows path
  std::set<std::string> values_, files_;
  std::set<std::string> pristineKeys_;  // the pristine prefix's keys, upper case
  CanaryPlan plan_;
};

}  // namespace

const char* CanaryKindName(CanaryKind kind) {
  switch (kind) {
    case CanaryKind::kVendor: return "vendor";
    case CanaryKind::kValue: return "value";
    case CanaryKind::kFile: return "file";
    case CanaryKind::kShortcut: return "shortcut";
    case CanaryKind::kUser: return "user";
  }
  return "";
}

CanaryPlan PlanCanaries(const CanaryStage& stage) { return Planner(stage).Plan(); }

std::string StageGroup(const std::vector<std::string>& shellItems) {
  // The tree below Programs: each folder's children.
  std::map<std::string, std::set<std::string>> children;
  for (const std::string& item : shellItems) {
    if (item.compare(0, 9, "Programs/") != 0) continue;
    std::string path = item.substr(9), parent;
    for (size_t slash = 0; (slash = path.find('/', slash)) != std::string::npos; ++slash) {
      children[parent].insert(path.substr(0, slash));
      parent = path.substr(0, slash);
    }
    children[parent].insert(path);
  }
  std::string group;
  while (children.count(group) && children[group].size() == 1 && children.count(*children[group].begin()))
    group = *children[group].begin();
  return group;
}

std::string CanaryPlan::ImportLines() const {
  std::string lines;
  for (const CanaryValue& v : registry) {
    lines += "[" + v.key + "]\r\n\"" + v.value + "\"=";
    lines += IsRunKey(v.key) ? "hex(0):" : "\"another program's\"";
    lines += "\r\n\r\n";
  }
  return lines;
}

}  // namespace uninstdat
