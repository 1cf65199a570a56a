// The distinct paths of a removal list; see path_table.h.
#include "tools/uninstdat/lint/path_table.h"

#include <algorithm>

namespace uninstdat {

void PathTable::Add(const std::string& upper, size_t entry) {
  bool added = false;
  size_t id = paths_.Intern(upper, &added);
  uint32_t at = static_cast<uint32_t>(entry);
  if (added) {
    seen_.push_back({at, at, at, 1});
    return;
  }
  Seen& seen = seen_[id];
  if (seen.count++ == 1) seen.second = at;
  seen.last = at;
}

void PathTable::Report(const uninst::CodePage& codePage, const std::function<void(size_t)>& folderFirst,
                       const std::function<void(size_t, size_t, size_t)>& twice) const {
  std::vector<uint32_t> sorted(seen_.size());
  for (size_t i = 0; i < sorted.size(); ++i) sorted[i] = static_cast<uint32_t>(i);
  std::sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) { return paths_.Text(a) < paths_.Text(b); });
  for (size_t id = 0; id < seen_.size(); ++id) {
    const Seen& path = seen_[id];
    if (path.count > 1) twice(path.second, path.first, path.count);
    std::string text(paths_.Text(id));
    // A path that ends in a backslash is found by nothing and never removed.
    if (codePage.EndsWithSeparator(text.c_str())) continue;
    std::string inside = text + "\\";
    auto it = std::lower_bound(sorted.begin(), sorted.end(), inside,
                               [&](uint32_t other, const std::string& key) { return paths_.Text(other) < key; });
    for (; it != sorted.end() && paths_.Text(*it).substr(0, inside.size()) == inside; ++it)
      if (seen_[*it].last > path.first) {
        folderFirst(path.first);
        break;
      }
  }
}

}  // namespace uninstdat
