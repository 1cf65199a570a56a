// What an older data file removes that a newer one no longer removes, on one
// described machine: the paths of the removal entries (judged by
// EntryEvaluator, as plan and lint judge them), registry keys and values
// (read by the engine's ReadRegistryEntry), shortcuts and the program group
// (resolved by the engine's own shortcut removal). An in-place upgrade
// replaces the data file, so whatever the newer one drops stays on the
// machine after the next uninstall. Rendered by diff_render.h.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <variant>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/machine.h"
#include "tools/uninstdat/model.h"

namespace uninstdat {

// What a dropped item removes, in the order the records come.
enum class DiffKind { kPath, kKey, kValue, kShortcut, kGroup };
constexpr size_t kDiffKinds = 5;

// The machine the records after it are about.
struct DiffMachine {
  uninst::OsFamilyValue family;
  std::string exeFolder;  // UTF-8
};

// An item of OLD whose removal NEW no longer makes. Texts are UTF-8.
struct DiffDropped {
  uninst::OsFamilyValue family;
  DiffKind kind;
  DataText field;      // removalEntries, registryList, a shortcut list or programGroup
  size_t item;         // the item's index in its list (0 for programGroup)
  std::string text;    // OLD's item as it stands
  std::string path;    // what it removes: the path, the key, the shortcut's file, the group's folder
  std::string value;   // kValue: the value's name
};

// A whole key of OLD that no single product owns (a vendor's key, a key a
// fresh machine has, one of no owned shape: lint's registry-vendor-key and
// registry-shared-tree) which NEW narrowed to keys below it: not a drop but
// the mend of that finding. The keys beside the product's, which OLD took
// with it, were never the product's to take. A note; texts are UTF-8.
struct DiffNarrowed {
  uninst::OsFamilyValue family;
  size_t item;         // the item's index in OLD's registryList
  std::string text;    // OLD's item as it stands
  std::string key;     // the key OLD deletes whole
  std::string below;   // the first of NEW's whole keys below it
};

// Of `kind` on `family`, `count` dropped items beyond the cap.
struct DiffOmitted {
  uninst::OsFamilyValue family;
  DiffKind kind;
  size_t count;
};

using DiffRecord = std::variant<DiffMachine, DiffDropped, DiffOmitted, DiffNarrowed>;

// The dropped items of each kind, those beyond the cap included.
struct DiffCounts {
  std::array<size_t, kDiffKinds> dropped{};
  size_t narrowed = 0;  // notes, no drops
  size_t total() const;
  DiffCounts& operator+=(const DiffCounts& other);
};

// Compares `oldBytes` with `newBytes` (two data files in `page`) on
// `target`. An item of OLD counts as dropped when it removes something
// (a listed path that can match, an acting registry entry, a shortcut or
// group that resolves) and nothing in NEW removes the same: paths are equal
// when Windows takes them for one (ASCII letters in any case, never a
// double-byte character's trail byte, "." and ".." resolved), whether NEW
// removes the file as an entry or as a shortcut; a key or value under a
// whole key of NEW, and a path, shortcut or group inside NEW's program group,
// is still removed. The uninstaller's own folder, which its
// self-removal takes whatever the list says, is never dropped. A whole key
// that no single product owns, narrowed in NEW to keys below it, is a
// DiffNarrowed note instead (each one given, after the registry keys).
// Emits the DiffMachine, then the dropped items kind by kind in OLD's order:
// of each kind the first `maxPerKind` (0: all), then a DiffOmitted for the
// rest. Time n log n in the entries, memory linear in NEW's.
DiffCounts DiffRecords(const std::string& oldBytes, const std::string& newBytes, const TargetCodePage& page,
                       const Target& target, size_t maxPerKind, const std::function<void(const DiffRecord&)>& emit);

}  // namespace uninstdat
