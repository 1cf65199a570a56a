// RemovalList; see removal_list.h.
#include "engine/removal_list.h"

#include "engine/text.h"

namespace uninst {

bool RemovalList::Append(const char* path) { return Append(path, TextLength(path)); }

bool RemovalList::Append(const char* path, size_t length) {
  size_t needed = used_ + length + 1;
  if (needed < used_ || needed > 0x7FFFFFFFu) return false;
  if (needed > capacity_) {
    size_t capacity = capacity_ ? capacity_ : 256;
    while (capacity < needed) capacity *= 2;
    if (capacity > 0x7FFFFFFFu) capacity = needed;
    void* grown = data_ ? platform_->HeapReAlloc(data_, static_cast<uint32_t>(capacity))
                        : platform_->HeapAlloc(static_cast<uint32_t>(capacity));
    if (!grown) return false;
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
  }
  CopyBytes(data_ + used_, path, length);
  data_[used_ + length] = '\0';
  used_ = needed;
  ++count_;
  return true;
}

const char* RemovalList::Next(const char* path) const {
  const char* next = path + TextLength(path) + 1;
  return next < data_ + used_ ? next : nullptr;
}

const char* RemovalList::TakeHead() {
  const char* path = data_ + head_;
  head_ += TextLength(path) + 1;
  --count_;
  return path;
}

void RemovalList::Clear() {
  if (data_) platform_->HeapFree(data_);
  data_ = nullptr;
  capacity_ = used_ = head_ = count_ = 0;
}

}  // namespace uninst
