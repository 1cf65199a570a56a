// Byte-level text helpers with Windows rules written out: ASCII-only case
// folding, and separator search that honours double-byte ANSI code pages.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "engine/engine_platform.h"

namespace uninst {

// Lead bytes of the system's ANSI code page, asked of the platform once so
// that every later search costs a table look-up per byte.
class CodePage {
 public:
  CodePage() { for (bool& b : lead_) b = false; }
  explicit CodePage(EnginePlatform& platform);
  bool IsLead(uint8_t byte) const { return lead_[byte]; }
  void SetLead(uint8_t byte, bool lead) { lead_[byte] = lead; }

  // First `c` in [text, end) at a character boundary: a lead byte takes the
  // byte after it along, so a trailing byte never matches. Returns null when
  // there is none. `c` must be a single-byte character.
  const char* Find(const char* text, const char* end, char c) const;
  // The same up to the terminating NUL.
  const char* Find(const char* text, char c) const;
  // Last `c` in the NUL-ended `text` at a character boundary, or null.
  const char* FindLast(const char* text, char c) const;
  // Whether the last character of `text` is a single-byte "\" or "/" (the
  // trail byte of a double-byte character never is).
  bool EndsWithSeparator(const char* text) const;

 private:
  bool lead_[256];
};

// Lower-cases A-Z only, as the engine compares names.
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Whole-string equality, byte for byte.
bool EqualsExactly(const char* a, const char* b);
// Whole-string equality without regard to the case of ASCII letters.
bool EqualsAsciiNoCase(const char* a, const char* b);
// The same for `a` given by pointer and length.
bool EqualsAsciiNoCase(const char* a, size_t aLength, const char* b);

// The engine's own string and memory routines: uninst.exe links no C
// runtime, and these are all the engine needs of one.

// Length of the NUL-ended `text`.
size_t TextLength(const char* text);
// Copies `size` bytes; the ranges must not overlap.
void CopyBytes(void* to, const void* from, size_t size);
// First byte `c` in the `size` bytes at `text` (NULs included), or null.
const char* FindByte(const char* text, size_t size, char c);
// First byte `c` in the NUL-ended `text`, or null.
const char* FindFirstByte(const char* text, char c);
// Last occurrence of byte `c` in the NUL-ended `text`, or null.
const char* FindLastByte(const char* text, char c);
// Whether the NUL-ended `text` holds any byte of the NUL-ended `set`.
bool HasAnyByte(const char* text, const char* set);

// Copies `length` bytes and a NUL into `out` of `size` bytes. Returns false,
// writing nothing, when they do not fit: a path is never cut.
bool CopyBounded(char* out, size_t size, const char* text, size_t length);
bool CopyBounded(char* out, size_t size, const char* text);

}  // namespace uninst
