// Distinct texts, each with a small number of its own: one arena of text and
// an open-addressing index over it, a few bytes per text beyond the text
// itself, so that lists of millions of entries stay within memory and each
// look-up takes constant time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace uninstdat {

class TextIds {
 public:
  static constexpr size_t kNone = SIZE_MAX;

  // The number of `text`, given to it now (`added` true) if it had none:
  // 0, 1, 2, ... in the order texts first come.
  size_t Intern(std::string_view text, bool* added = nullptr);
  // The number of `text`, or kNone.
  size_t Find(std::string_view text) const;
  bool Contains(std::string_view text) const { return Find(text) != kNone; }

  std::string_view Text(size_t id) const { return std::string_view(arena_).substr(texts_[id].offset, texts_[id].length); }
  size_t size() const { return texts_.size(); }

 private:
  struct Span {
    uint64_t offset;
    uint32_t length;
  };
  // The slot that holds `text`, or the free one where it would go.
  size_t Slot(std::string_view text) const;
  void Grow();

  std::string arena_;
  std::vector<Span> texts_;
  std::vector<uint32_t> slots_;  // id + 1, 0 free
};

}  // namespace uninstdat
