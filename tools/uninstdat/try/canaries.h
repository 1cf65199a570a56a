// Canaries: what a machine someone lives on holds beside the product, laid
// out before each run of try (and its control run), so that a data file
// that takes more than the product's own is caught. A fresh prefix has no
// other product of the same vendor, no other program's value in the Run
// key, no second user: a whole vendor key, a whole Run key, a wildcard in
// the system folder or another user's shortcut would go unseen there.
//
// Each canary is derived from the stage and lies beside the product's
// items, never inside a folder or key that a sound data file removes (the
// product's own), and is as inert as the stage's own items (values under a
// Run key empty and of no type; Startup items are laid out empty). A canary
// that the run removes is a safety finding.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tools/uninstdat/stage/registry_export.h"
#include "tools/uninstdat/try/snapshot.h"
#include "tools/uninstdat/try/wine_prefix.h"

namespace uninstdat {

enum class CanaryKind {
  kVendor,    // another product of the same vendor: key, folder, program group
  kValue,     // another program's value or key beside the product's in a key of Windows
  kFile,      // another program's file beside a staged file in a folder of Windows
  kShortcut,  // another program's shortcut in the shell folders, per user and for all users
  kUser,      // a second user's shortcuts of the product's names (NT family)
};
constexpr size_t kCanaryKinds = 5;

// "vendor", "value", "file", "shortcut", "user".
const char* CanaryKindName(CanaryKind kind);

// A file or folder to lay out: its Windows path as the view's prefix names
// it (the stage's paths already mapped).
struct CanaryItem {
  CanaryKind kind;
  std::string windowsPath;
  bool folder = false;
};

// A registry value to import (a key of its own is made with its value):
// the key as the export writes it, the value's name.
struct CanaryValue {
  CanaryKind kind;
  std::string key;
  std::string value;
  bool ownKey = false;  // the key is the canary's own (another product's), not one of Windows'
};

struct CanaryPlan {
  std::vector<CanaryItem> items;  // folders before what they hold
  std::vector<CanaryValue> registry;
  // The lines that import `registry` (UTF-8 "Windows Registry Editor
  // Version 5.00" sections, without the header): a string value, or an
  // empty value of no type under a Run key.
  std::string ImportLines() const;
};

// What the canaries are derived from.
struct CanaryStage {
  WineView view;
  std::string installFolder;            // as the prefix names it
  std::vector<Placed> staged;           // what the stage laid out
  std::vector<std::string> shellItems;  // the stage's shell/ files, relative, "/" between names
  std::vector<RegistryItem> exported;   // what the stage's export creates
  const RegistrySnapshot* pristine = nullptr;  // the pristine prefix's hives, as Wine names them
};

// The canaries for one family's run:
// - kVendor: a key with a value below each vendor key (Software\<Vendor>)
//   that the export creates and gives no value of its own; a folder with a
//   file beside the install folder when the stage made the folder that
//   holds it (Program Files\<Vendor>\<Product>); a group with a shortcut
//   beside the stage's program group when that lies in a folder of its own
//   (Programs\<Vendor>\<Product>).
// - kValue: a value beside each value the export adds to a key a fresh
//   machine has (Run, Fonts, Environment, a file type, ...), and a key with
//   a value beside each key the export makes directly below one (Uninstall,
//   App Paths, ...), never directly below a root; none that a stage's
//   export may not hold (CheckRegistryExport).
// - kFile: beside each staged file whose folder the machine has (the
//   Windows, system and fonts folders), another file whose name begins with
//   the staged one's stem and has its extension, so that a wildcard of the
//   product's name takes it too.
// - kShortcut: a shortcut on the Desktop, in the Start Menu, Startup and
//   SendTo, the user's own and the all-users ones.
// - kUser (NT family): a second user's profile with the stage's Desktop
//   shortcuts and its Programs tree.
CanaryPlan PlanCanaries(const CanaryStage& stage);

// The program group a stage's shell items show: the folder below Programs
// that holds the product's shortcuts, past folders that hold nothing but
// one folder (a vendor's); "/" between names, empty without one.
std::string StageGroup(const std::vector<std::string>& shellItems);

// The name a canary has beside the product's: the second user's profile
// folder, the other product's folder and key, the other program's value.
extern const char kCanaryProduct[];  // "Another Product"
extern const char kCanaryProgram[];  // "Another Program"
extern const char kCanaryUser[];     // "Another User"

}  // namespace uninstdat
