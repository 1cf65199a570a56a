// Positions in a manifest's text; see manifest_positions.h. A scan of the
// tokens that keeps only a stack of the open containers, so that it is
// linear however the text is laid out.
#include "tools/uninstdat/manifest_positions.h"

#include <string_view>

#include "tools/uninstdat/json.h"

namespace uninstdat {
namespace {

// The text read byte by byte, with the line and column of the next byte.
class Cursor {
 public:
  explicit Cursor(const std::string& text) : text_(text) {
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) at_ = 3;
  }
  // The JSON reader takes a NUL byte for the end of its input, so the
  // text ends there for the positions too.
  bool Done() const { return at_ >= text_.size() || text_[at_] == '\0'; }
  char Peek() const { return text_[at_]; }
  TextPosition Position() const { return position_; }
  void Advance() {
    unsigned char c = static_cast<unsigned char>(text_[at_++]);
    if (c == '\r' || (c == '\n' && previous_ != '\r')) {
      ++position_.line;
      position_.column = 1;
    } else if (c != '\n' && (c & 0xC0) != 0x80) {
      ++position_.column;  // a character's first byte; UTF-8 continuation bytes are not counted
    }
    previous_ = c;
  }
  // Past a string that begins here; returns its text as written, escapes
  // undone only when `decode`.
  std::string String(bool decode) {
    size_t start = at_;
    Advance();  // the opening quote
    bool escaped = false;
    while (!Done() && Peek() != '"') {
      if (Peek() == '\\') {
        escaped = true;
        Advance();
        if (Done()) break;
      }
      Advance();
    }
    size_t end = at_;
    if (!Done()) Advance();  // the closing quote
    if (!decode) return "";
    std::string raw = text_.substr(start, end - start) + "\"";
    if (!escaped) return raw.substr(1, raw.size() - 2);
    try {
      return Json::parse(raw).get<std::string>();
    } catch (const Json::exception&) {
      return raw;  // not a string ParseManifestText accepted: no key of any field
    }
  }
  // Past a number or a literal (true, false, null).
  void Literal() {
    while (!Done() && std::string_view(" \t\r\n,:]}[{\"").find(Peek()) == std::string_view::npos) Advance();
  }

 private:
  const std::string& text_;
  size_t at_ = 0;
  unsigned char previous_ = 0;
  TextPosition position_;
};

}  // namespace

ManifestPositions ManifestPositions::Of(const std::string& text) {
  ManifestPositions positions;
  Cursor cursor(text);
  struct Open {
    bool object, keyNext;
  };
  std::vector<Open> open;     // the containers open at the cursor
  Member* member = nullptr;   // the top-level member whose value is being read
  while (!cursor.Done()) {
    char c = cursor.Peek();
    TextPosition at = cursor.Position();
    size_t depth = open.size();
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ':') {
      cursor.Advance();
    } else if (c == ',') {
      if (!open.empty() && open.back().object) open.back().keyNext = true;
      cursor.Advance();
    } else if (c == '}' || c == ']') {
      if (!open.empty()) open.pop_back();
      cursor.Advance();
    } else if (c == '"' && depth > 0 && open.back().object && open.back().keyNext) {
      open.back().keyNext = false;
      bool wanted = depth == 1 || (depth == 2 && member);
      std::string key = cursor.String(wanted);
      if (depth == 1) {
        member = &positions.members_[key];
        member->key = at;
      } else if (wanted) {
        member->members.emplace(key, at);
      }
    } else {
      // A value begins.
      if (depth == 0 && c == '{') positions.root_ = at;
      if (depth == 2 && member && !open.back().object) member->items.push_back(at);
      if (c == '{' || c == '[') {
        open.push_back({c == '{', c == '{'});
        cursor.Advance();
      } else if (c == '"') {
        cursor.String(false);
      } else {
        cursor.Literal();  // takes at least the byte at hand: no character above stops it
      }
    }
  }
  return positions;
}

std::optional<TextPosition> ManifestPositions::Key(const std::string& name) const {
  auto it = members_.find(name);
  if (it == members_.end()) return std::nullopt;
  return it->second.key;
}

std::optional<TextPosition> ManifestPositions::Item(const std::string& name, size_t index) const {
  auto it = members_.find(name);
  if (it == members_.end() || index >= it->second.items.size()) return std::nullopt;
  return it->second.items[index];
}

std::optional<TextPosition> ManifestPositions::MemberKey(const std::string& name, const std::string& key) const {
  auto it = members_.find(name);
  if (it == members_.end()) return std::nullopt;
  auto found = it->second.members.find(key);
  if (found == it->second.members.end()) return std::nullopt;
  return found->second;
}

}  // namespace uninstdat
