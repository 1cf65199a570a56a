// The code page as the tool uses it, and the code-page hint; see codepage.h.
// The conversions are system/codepage_iconv.cpp on Linux and
// system/codepage_win.cpp on Windows.
#include "tools/uninstdat/codepage.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "tools/uninstdat/model.h"

namespace uninstdat {

TargetCodePage::TargetCodePage(int number) : converter(number) {
  for (int b = 0; b < 256; ++b) codePage.SetLead(static_cast<uint8_t>(b), converter.IsLeadByte(b));
}

std::string Utf8(const TargetCodePage& page, std::string_view bytes) {
  auto text = page.converter.ToUtf8(std::string(bytes));
  return text ? *text
              : "(bytes that are no text in code page " + std::to_string(page.converter.number()) + ")";
}

const char kWindowsAnsiCodePages[] = "874, 932, 936, 949, 950 and 1250 to 1258";

bool IsWindowsAnsiCodePage(int number) {
  return number == 874 || number == 932 || number == 936 || number == 949 || number == 950 ||
         (number >= 1250 && number <= 1258);
}

namespace {

// The length of the well-formed UTF-8 sequence at `i`, or 0.
size_t Utf8SequenceAt(const std::string& bytes, size_t i) {
  unsigned char c = static_cast<unsigned char>(bytes[i]);
  if (c < 0x80) return 1;
  size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
  if (!length || i + length > bytes.size()) return 0;
  unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
  // The second byte's range excludes overlong forms, surrogates and values
  // beyond U+10FFFF.
  unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
  unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
  if (second < low || second > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return 0;
  return length;
}

// The code points of a UTF-8 text (which the converter produced, so well formed).
std::vector<char32_t> CodePoints(const std::string& utf8) {
  std::vector<char32_t> points;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t point = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
      point = (point << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    points.push_back(point);
    i += 1 + extra;
  }
  return points;
}

bool In(char32_t c, char32_t from, char32_t to) { return c >= from && c <= to; }

bool IsEastAsian(char32_t c) {
  return In(c, 0x3000, 0x30FF) || In(c, 0x3400, 0x4DBF) || In(c, 0x4E00, 0x9FFF) ||
         In(c, 0xAC00, 0xD7AF) || In(c, 0xF900, 0xFAFF) || In(c, 0xFF01, 0xFF5E);
}

// The accented letters of Latin-1; the few letters that Latin pages keep in
// 0x80-0x9F (Š, Ž, ƒ, ...) are what double-byte lead bytes turn into there.
bool IsLatinLetter(char32_t c) { return In(c, 0xC0, 0xFF) && c != 0xD7 && c != 0xF7; }

bool IsOtherLetter(char32_t c) {  // Greek, Cyrillic, Hebrew, Arabic, Thai
  return In(c, 0x370, 0x3FF) || In(c, 0x400, 0x4FF) || In(c, 0x5D0, 0x5EA) ||
         In(c, 0x620, 0x64A) || In(c, 0xE01, 0xE5B);
}

// The data file's texts, and the start of one that has no NUL.
// Only those that hold a byte above ASCII: the others read alike in every
// page, and a hostile file of 64 MiB of ASCII costs no copies.
std::vector<std::string> Texts(const std::string& bytes) {
  DataFileTexts split = SplitTexts(bytes);
  std::vector<std::string_view> all(split.texts.begin(), split.texts.begin() + split.found);
  if (split.found < uninst::kDataTextCount && !split.rest.empty()) all.push_back(split.rest);
  std::vector<std::string> texts;
  for (std::string_view text : all)
    if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
      texts.emplace_back(text);
  return texts;
}

// The share of non-ASCII characters that read as text of the page, and
// their number; a share of -1 when a text does not convert at all.
std::pair<double, int> Reading(const CodePageConverter& page, const std::vector<std::string>& texts,
                               bool doubleByte) {
  int good = 0, high = 0;
  for (const std::string& text : texts) {
    auto utf8 = page.ToUtf8(text);
    if (!utf8) return {-1, 0};
    std::vector<char32_t> points = CodePoints(*utf8);
    for (size_t i = 0; i < points.size(); ++i) {
      char32_t c = points[i];
      if (c < 0x80) continue;
      ++high;
      if (doubleByte) {
        good += IsEastAsian(c) ? 1 : 0;
      } else if (IsLatinLetter(c)) {
        // Latin text has its accented letters among plain ones; double-byte
        // text read in a Latin page shows them in pairs and runs.
        bool huddled = (i > 0 && points[i - 1] >= 0x80) || (i + 1 < points.size() && points[i + 1] >= 0x80);
        good += huddled ? 0 : 1;
      } else {
        good += IsOtherLetter(c) ? 1 : 0;
      }
    }
  }
  return {high ? static_cast<double>(good) / high : 1.0, high};
}

}  // namespace

int LikelierDoubleByteCodePage(const std::string& bytes, int assumed) {
  CodePageConverter assumedPage(assumed);
  if (!assumedPage.valid()) return 0;
  for (int b = 0x80; b < 256; ++b)
    if (assumedPage.IsLeadByte(static_cast<unsigned char>(b))) return 0;  // not single-byte
  std::vector<std::string> texts = Texts(bytes);
  auto [assumedShare, high] = Reading(assumedPage, texts, false);
  if (assumedShare >= 0.5 || (assumedShare >= 0 && high == 0)) return 0;
  int best = 0;
  double bestShare = 0.8;  // below this no double-byte page reads well
  for (int candidate : {932, 936, 949, 950}) {
    CodePageConverter page(candidate);
    if (!page.valid()) continue;
    auto [share, count] = Reading(page, texts, true);
    if (count > 0 && share > bestShare) {
      best = candidate;
      bestShare = share;
    }
  }
  return best;
}

bool IsValidUtf8(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size();) {
    size_t length = Utf8SequenceAt(bytes, i);
    if (!length) return false;
    i += length;
  }
  return true;
}

std::string Utf8Escaped(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    if (size_t length = Utf8SequenceAt(bytes, i)) {
      out.append(bytes, i, length);
      i += length;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      unsigned char c = static_cast<unsigned char>(bytes[i++]);
      out += "<x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
      out += '>';
    }
  }
  return out;
}

std::string Utf8ToUtf16Le(const std::string& utf8) {
  std::string out;
  auto unit = [&](unsigned u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (char32_t point : CodePoints(utf8)) {
    if (point < 0x10000) {
      unit(static_cast<unsigned>(point));
    } else {
      point -= 0x10000;
      unit(0xD800 | static_cast<unsigned>(point >> 10));
      unit(0xDC00 | static_cast<unsigned>(point & 0x3FF));
    }
  }
  return out;
}

}  // namespace uninstdat
