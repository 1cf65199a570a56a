// Shortcuts without the shell's times; see shortcut_times.h.
#include "tools/uninstdat/capture/shortcut_times.h"

namespace uninstdat {
namespace {

size_t U16(const std::string& bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

void Zero(std::string* bytes, size_t at, size_t count) { bytes->replace(at, count, count, '\0'); }

}  // namespace

std::string ShortcutWithoutTimes(const std::string& bytes) {
  // The header: its size (0x4C) and the class of a shell link.
  static const std::string kHeader("\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 20);
  if (bytes.size() < 0x4E || bytes.compare(0, kHeader.size(), kHeader) != 0) return bytes;
  std::string out = bytes;
  Zero(&out, 0x1C, 24);  // the target's creation, access and write times
  if (!(static_cast<unsigned char>(bytes[0x14]) & 1)) return out;  // no item list
  size_t end = 0x4E + U16(bytes, 0x4C);
  if (end > bytes.size()) return bytes;
  for (size_t item = 0x4E; item + 2 <= end;) {
    size_t size = U16(bytes, item);
    if (size == 0) break;
    if (size < 3 || item + size > end) return bytes;
    // A folder or file: [size][type 0x3X][0][file size][DOS date, time]
    // [attributes][name, NUL][then, at an even offset of the item, a block
    // of its own size with creation and access times at 8 and 12].
    if ((static_cast<unsigned char>(bytes[item + 2]) & 0x70) == 0x30 && size >= 14) {
      Zero(&out, item + 8, 4);
      size_t nul = bytes.find('\0', item + 14);
      if (nul != std::string::npos && nul < item + size) {
        size_t block = nul + 1 - item;
        block += block % 2;
        if (block + 16 <= size) Zero(&out, item + block + 8, 8);
      }
    }
    item += size;
  }
  return out;
}

}  // namespace uninstdat
