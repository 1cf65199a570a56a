// The strict reading of the tool's JSON texts (a manifest, a machine
// description) and the one count of lines and columns that every place in
// such a text is given by: the messages of a syntax error, of the depth
// check and of a duplicate key, the manifest's positions and so the SARIF
// regions of lint.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/uninstdat/json.h"
#include "tools/uninstdat/result.h"

namespace uninstdat {

// A place in a text: 1-based line and column. Lines end at LF, CR LF or a
// lone CR; columns count characters (Unicode code points of the UTF-8
// text), a tab as one; a byte-order mark before the text is not counted.
// This is what a SARIF 2.1.0 region means with the run's "columnKind"
// "unicodeCodePoints", which lint's SARIF declares: its line ends are CR,
// LF and CR LF. An editor that an author opens at "line L, column C" lands
// on the same character whichever the line ends and the letters.
// 32 bits each: the tool reads no input over 64 MiB, and a manifest of
// millions of items keeps one of these per item.
struct TextPosition {
  uint32_t line = 1, column = 1;
  bool operator==(const TextPosition& other) const { return line == other.line && column == other.column; }
};

// The one counter of TextPosition: fed the bytes of a text in order (after
// its byte-order mark), it holds the position of the next byte. Every
// line and column the tool reports about a JSON text comes from it.
class PositionCounter {
 public:
  TextPosition Position() const { return position_; }
  void Count(unsigned char byte) {
    if (byte == '\r' || (byte == '\n' && previous_ != '\r')) {
      ++position_.line;
      position_.column = 1;
    } else if (byte != '\n' && (byte & 0xC0) != 0x80) {
      ++position_.column;  // a character's first byte; UTF-8 continuation bytes are not counted
    }
    previous_ = byte;
  }

 private:
  TextPosition position_;
  unsigned char previous_ = 0;
};

// A JSON text read byte by byte, with the position of the next byte. It
// skips a leading byte-order mark, and ends at the first NUL byte, where
// the JSON reader ends too.
class TextCursor {
 public:
  explicit TextCursor(const std::string& text);
  bool Done() const { return at_ >= text_.size() || text_[at_] == '\0'; }
  char Peek() const { return text_[at_]; }
  TextPosition Position() const { return counter_.Position(); }
  void Advance() { counter_.Count(static_cast<unsigned char>(text_[at_++])); }
  // Past a string that begins here; returns its text as written, escapes
  // undone only when `decode` (else empty).
  std::string String(bool decode);
  // Past a number or a literal (true, false, null).
  void Literal();

 private:
  const std::string& text_;
  size_t at_ = 0;
  PositionCounter counter_;
};

// Whether `raw` is a manifest rather than a data file: text without NUL
// bytes that begins, after an optional UTF-8 byte-order mark and blanks,
// with "{". A data file begins with its 4-byte word and holds NULs.
bool LooksLikeManifest(const std::string& raw);

// How deep a manifest's or a machine description's values may nest; a
// manifest needs 4.
constexpr int kMaxNesting = 16;

// Parses a manifest's text (a UTF-8 byte-order mark is skipped). Fails
// with kBadInput and a message naming the line and column of a syntax
// error, of a key given twice in one object, or of a value nested deeper
// than kMaxNesting, or naming a number beyond the range of any field
// (1e400); the caller names the file. Never throws.
Result<Json> ParseManifestText(const std::string& raw);

}  // namespace uninstdat
