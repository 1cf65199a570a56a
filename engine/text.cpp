// Byte-level text helpers; see text.h.
#include "engine/text.h"

namespace uninst {

size_t TextLength(const char* text) {
  const char* end = text;
  while (*end) ++end;
  return static_cast<size_t>(end - text);
}

void CopyBytes(void* to, const void* from, size_t size) {
  char* out = static_cast<char*>(to);
  const char* in = static_cast<const char*>(from);
  for (size_t i = 0; i < size; ++i) out[i] = in[i];
}

const char* FindByte(const char* text, size_t size, char c) {
  for (size_t i = 0; i < size; ++i)
    if (text[i] == c) return text + i;
  return nullptr;
}

const char* FindFirstByte(const char* text, char c) {
  for (; *text; ++text)
    if (*text == c) return text;
  return nullptr;
}

bool HasAnyByte(const char* text, const char* set) {
  for (; *set; ++set)
    if (FindFirstByte(text, *set)) return true;
  return false;
}

CodePage::CodePage(EnginePlatform& platform) {
  for (int b = 0; b < 256; ++b) lead_[b] = platform.IsDBCSLeadByte(static_cast<uint8_t>(b));
}

const char* CodePage::Find(const char* text, const char* end, char c) const {
  while (text < end) {
    if (*text == c) return text;
    // A lead byte and its trail byte are one character; a lead byte at the
    // very end has no trail byte inside the range and ends the search.
    text += IsLead(static_cast<uint8_t>(*text)) ? 2 : 1;
  }
  return nullptr;
}

const char* CodePage::Find(const char* text, char c) const {
  while (*text) {
    if (*text == c) return text;
    if (IsLead(static_cast<uint8_t>(*text))) {
      if (!text[1]) return nullptr;  // a lead byte right before the NUL
      text += 2;
    } else {
      ++text;
    }
  }
  return nullptr;
}

const char* CodePage::FindLast(const char* text, char c) const {
  const char* last = nullptr;
  while (const char* found = Find(text, c)) {
    last = found;
    text = found + 1;
  }
  return last;
}

bool CodePage::EndsWithSeparator(const char* text) const {
  const char* last = nullptr;
  while (*text) {
    last = text;
    text += IsLead(static_cast<uint8_t>(*text)) && text[1] ? 2 : 1;
  }
  return last && text - last == 1 && (*last == '\\' || *last == '/');
}

bool EqualsExactly(const char* a, const char* b) {
  for (; *a && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}

bool EqualsAsciiNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (AsciiLower(*a) != AsciiLower(*b)) return false;
  return *a == *b;
}

bool EqualsAsciiNoCase(const char* a, size_t aLength, const char* b) {
  for (size_t i = 0; i < aLength; ++i, ++b)
    if (!*b || AsciiLower(a[i]) != AsciiLower(*b)) return false;
  return *b == '\0';
}

const char* FindLastByte(const char* text, char c) {
  const char* last = nullptr;
  for (; *text; ++text)
    if (*text == c) last = text;
  return last;
}

bool CopyBounded(char* out, size_t size, const char* text, size_t length) {
  if (length >= size) return false;
  CopyBytes(out, text, length);
  out[length] = '\0';
  return true;
}

bool CopyBounded(char* out, size_t size, const char* text) {
  return CopyBounded(out, size, text, TextLength(text));
}

}  // namespace uninst
