// Distinct texts and their numbers; see text_ids.h.
#include "tools/uninstdat/text_ids.h"

namespace uninstdat {
namespace {

uint64_t Hash(std::string_view text) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

}  // namespace

size_t TextIds::Slot(std::string_view text) const {
  size_t mask = slots_.size() - 1;
  for (size_t slot = Hash(text) & mask;; slot = (slot + 1) & mask)
    if (!slots_[slot] || Text(slots_[slot] - 1) == text) return slot;
}

size_t TextIds::Intern(std::string_view text, bool* added) {
  if (slots_.empty() || (texts_.size() + 1) * 2 > slots_.size()) Grow();
  size_t slot = Slot(text);
  if (added) *added = slots_[slot] == 0;
  if (slots_[slot]) return slots_[slot] - 1;
  texts_.push_back({arena_.size(), static_cast<uint32_t>(text.size())});
  arena_.append(text);
  slots_[slot] = static_cast<uint32_t>(texts_.size());
  return texts_.size() - 1;
}

size_t TextIds::Find(std::string_view text) const {
  if (slots_.empty()) return kNone;
  size_t slot = Slot(text);
  return slots_[slot] ? slots_[slot] - 1 : kNone;
}

void TextIds::Grow() {
  slots_.assign(slots_.empty() ? 64 : slots_.size() * 2, 0);
  size_t mask = slots_.size() - 1;
  for (size_t id = 0; id < texts_.size(); ++id) {
    size_t slot = Hash(Text(id)) & mask;
    while (slots_[slot]) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<uint32_t>(id + 1);
  }
}

}  // namespace uninstdat
