// The distinct paths of a removal list; see path_table.h. An open-addressing
// hash table over one arena of texts.
#include "tools/uninstdat/lint/path_table.h"

#include <algorithm>

namespace uninstdat {
namespace {

uint64_t Hash(std::string_view text) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

}  // namespace

void PathTable::Add(const std::string& upper, size_t entry) {
  if (slots_.empty() || (ids_.size() + 1) * 2 > slots_.size()) Grow();
  size_t mask = slots_.size() - 1;
  for (size_t slot = Hash(upper) & mask;; slot = (slot + 1) & mask) {
    if (slots_[slot] == 0) {
      slots_[slot] = static_cast<uint32_t>(ids_.size() + 1);
      ids_.push_back({static_cast<uint32_t>(arena_.size()), static_cast<uint32_t>(upper.size()),
                      static_cast<uint32_t>(entry), static_cast<uint32_t>(entry), static_cast<uint32_t>(entry), 1});
      arena_ += upper;
      return;
    }
    Path& path = ids_[slots_[slot] - 1];
    if (Text(path) == upper) {
      if (path.count++ == 1) path.second = static_cast<uint32_t>(entry);
      path.last = static_cast<uint32_t>(entry);
      return;
    }
  }
}

void PathTable::Report(const uninst::CodePage& codePage, const std::function<void(size_t)>& folderFirst,
                       const std::function<void(size_t, size_t, size_t)>& twice) const {
  std::vector<uint32_t> sorted(ids_.size());
  for (size_t i = 0; i < sorted.size(); ++i) sorted[i] = static_cast<uint32_t>(i);
  std::sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) { return Text(ids_[a]) < Text(ids_[b]); });
  for (const Path& path : ids_) {
    if (path.count > 1) twice(path.second, path.first, path.count);
    std::string text(Text(path));
    // A path that ends in a backslash is found by nothing and never removed.
    if (codePage.EndsWithSeparator(text.c_str())) continue;
    std::string inside = text + "\\";
    auto it = std::lower_bound(sorted.begin(), sorted.end(), inside,
                               [&](uint32_t id, const std::string& key) { return Text(ids_[id]) < key; });
    for (; it != sorted.end() && Text(ids_[*it]).substr(0, inside.size()) == inside; ++it)
      if (ids_[*it].last > path.first) {
        folderFirst(path.first);
        break;
      }
  }
}

void PathTable::Grow() {
  std::vector<uint32_t> slots(slots_.empty() ? 64 : slots_.size() * 2, 0);
  size_t mask = slots.size() - 1;
  for (size_t id = 0; id < ids_.size(); ++id) {
    size_t slot = Hash(Text(ids_[id])) & mask;
    while (slots[slot]) slot = (slot + 1) & mask;
    slots[slot] = static_cast<uint32_t>(id + 1);
  }
  slots_.swap(slots);
}

}  // namespace uninstdat
