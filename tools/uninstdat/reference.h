// The fresh machine: the registry keys and folders that Windows has before
// any product is installed. They come from the lists in
// tools/uninstdat/reference, made from a fresh Wine prefix by
// scripts/machine-reference.sh (with a few folders of real Windows kept by
// hand), and are built into uninstdat, so that scan and lint judge alike on
// every machine and never run Wine.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/text.h"
#include "tools/uninstdat/machine.h"

namespace uninstdat {

// Whether a fresh machine has the key `canonical` (as CanonicalKey writes
// it). Keys more than two levels below HKEY_CLASSES_ROOT are judged by
// their ancestor two levels below it.
bool FreshMachineHasKey(std::string_view canonical);

// Whether `canonical` lies deeper below HKEY_CLASSES_ROOT than the fresh
// machine's list goes (a file type's verbs: txtfile\shell\open), so that
// FreshMachineHasKey speaks only for its ancestor; where a real prefix is
// at hand (try), that prefix says whether Windows has the key itself.
bool BelowFreshKeyList(std::string_view canonical);

// The folders of a fresh machine laid over `machine`: those of the lists,
// with <Win>, <Sys>, <ProgramFiles>, <CommonFiles> and <Profile> standing
// for the machine's folders (a line whose folder the machine lacks is left
// out), the machine's own folders and shell folders, and every folder that
// holds one of them (C:\Program Files (x86), C:\Users, C:). The machine's
// texts and the paths asked about are in the code page `codePage`.
class MachineFolders {
 public:
  MachineFolders(const Machine& machine, const uninst::CodePage& codePage);
  // Whether `path` is one of those folders: ASCII letters in any case, "/"
  // for "\", "." and ".." resolved, a backslash at the end or not.
  bool Has(std::string_view path) const;
  // The same for a path whose ASCII letters are upper case already; it is
  // looked up without a copy when it needs no resolving.
  bool HasUpper(const std::string& upper) const;
  size_t size() const { return folders_.size(); }

 private:
  static bool Plain(std::string_view path);
  void Add(const std::string& path);
  std::string Key(std::string_view path) const;
  const uninst::CodePage& codePage_;
  std::unordered_set<std::string> folders_;
};

}  // namespace uninstdat
