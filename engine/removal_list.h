// RemovalList: the ordered absolute paths the data file lists, appended at the
// tail, walked once, then drained from the head.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "engine/engine_platform.h"

namespace uninst {

// Paths are kept back to back, each NUL-ended, in one block from the
// platform's heap that doubles when full, so appending n paths and draining
// them costs time linear in their total length.
class RemovalList {
 public:
  RemovalList() = default;
  RemovalList(const RemovalList&) = delete;
  RemovalList& operator=(const RemovalList&) = delete;
  ~RemovalList() { Clear(); }

  // The heap to allocate from; must be set before the first Append.
  void Attach(EnginePlatform* platform) { platform_ = platform; }

  // Appends a copy of `length` bytes of `path`. Returns false when memory
  // cannot be had; the list is then unchanged.
  bool Append(const char* path, size_t length);
  bool Append(const char* path);

  bool IsEmpty() const { return head_ == used_; }
  size_t Count() const { return count_; }

  // Walking without change: First, then Next until null.
  const char* First() const { return IsEmpty() ? nullptr : data_ + head_; }
  const char* Next(const char* path) const;

  // Takes the head path off the list. The returned text stays valid until the
  // next Append or Clear. Must only be called when the list is not empty.
  const char* TakeHead();

  // Empties the list and frees its block.
  void Clear();

 private:
  EnginePlatform* platform_ = nullptr;
  char* data_ = nullptr;
  size_t capacity_ = 0;
  size_t used_ = 0;
  size_t head_ = 0;
  size_t count_ = 0;
};

}  // namespace uninst
