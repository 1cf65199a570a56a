// The distinct paths of one machine's removal list, with where each occurs
// first, second and last: what lint needs to find a folder listed before
// what it holds, and a path listed twice. Memory is linear in the distinct
// paths, whatever the count of entries (a file of a million "|" has one
// distinct path), and nothing grows quadratically.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text.h"
#include "tools/uninstdat/text_ids.h"

namespace uninstdat {

class PathTable {
 public:
  // Counts the path `upper` (a-z in upper case) of entry number `entry`;
  // entries come in list order.
  void Add(const std::string& upper, size_t entry);

  // Calls folderFirst(entry) for each path that comes before a path inside
  // it, and twice(entry, first, count) for each path listed more than once
  // (`entry` the second listing, `first` the first).
  void Report(const uninst::CodePage& codePage, const std::function<void(size_t)>& folderFirst,
              const std::function<void(size_t, size_t, size_t)>& twice) const;

 private:
  // Entry numbers fit 32 bits: inputs are at most 64 MiB.
  struct Seen {
    uint32_t first, second, last, count;
  };
  TextIds paths_;
  std::vector<Seen> seen_;  // by the path's number in paths_
};

}  // namespace uninstdat
