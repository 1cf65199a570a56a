// The strict JSON reader and its positions; see manifest_reader.h.
#include "tools/uninstdat/manifest_reader.h"

#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace uninstdat {

TextCursor::TextCursor(const std::string& text) : text_(text) {
  if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) at_ = 3;
}

std::string TextCursor::String(bool decode) {
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

void TextCursor::Literal() {
  while (!Done() && std::string_view(" \t\r\n,:]}[{\"").find(Peek()) == std::string_view::npos) Advance();
}

bool LooksLikeManifest(const std::string& raw) {
  size_t at = raw.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  at = raw.find_first_not_of(" \t\r\n", at);
  return at != std::string::npos && raw[at] == '{' && raw.find('\0') == std::string::npos;
}

namespace {

std::string LineAndColumn(TextPosition at) {
  return "line " + std::to_string(at.line) + ", column " + std::to_string(at.column);
}

// Where byte `offset` of `text` stands (the end of the text when it is
// past it), by the one counter.
TextPosition PositionOfByte(const std::string& text, size_t offset) {
  PositionCounter counter;
  for (size_t i = 0; i < offset && i < text.size(); ++i) counter.Count(static_cast<unsigned char>(text[i]));
  return counter.Position();
}

// The JSON library's account of a syntax error, with the place it names
// counted by the one counter: the library counts lines at LF alone and
// columns in bytes, so that the same fault would stand elsewhere than a
// duplicate key or a SARIF region on a line that ends in CR or holds
// letters of several bytes. Its byte index is 1-based, of the last byte
// it read (one past the end at the end of the text).
std::string SyntaxError(const std::string& text, const Json::parse_error& e) {
  std::string what = e.what();
  size_t at = what.find("] ");
  if (at != std::string::npos) what = what.substr(at + 2);
  size_t colon = what.find(": ");
  if (e.byte == 0 || what.rfind("parse error", 0) != 0 || colon == std::string::npos) return what;
  return "parse error at " + LineAndColumn(PositionOfByte(text, e.byte - 1)) + what.substr(colon);
}

// Where the first value nested deeper than `most` begins, as "line L,
// column C", or empty. A scan of the text that skips strings, before the
// parse: the parser keeps deep values, and printing one recurses as deep.
// It reads the whole text, past a NUL too: whatever the parser takes in is
// bounded.
std::string TooDeep(const std::string& text, int most) {
  int depth = 0;
  bool inString = false;
  PositionCounter counter;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    TextPosition at = counter.Position();
    counter.Count(static_cast<unsigned char>(c));
    if (inString) {
      if (c == '\\' && i + 1 < text.size()) counter.Count(static_cast<unsigned char>(text[++i]));
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > most) return LineAndColumn(at);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return "";
}

// Where the first key given twice in one object stands (its second
// occurrence, at its opening quote), found by reading the tokens: a text
// value that spells the same name, or the key written with escapes, does
// not mislead it. Called on a text the JSON reader accepted, so the tokens
// are well formed up to where the reader stopped.
std::optional<TextPosition> DuplicateKeyAt(const std::string& text) {
  TextCursor cursor(text);
  struct Open {
    bool object, keyNext;
    std::set<std::string> keys;
  };
  std::vector<Open> open;
  while (!cursor.Done()) {
    char c = cursor.Peek();
    if (c == '"') {
      bool key = !open.empty() && open.back().object && open.back().keyNext;
      TextPosition at = cursor.Position();
      std::string name = cursor.String(key);
      if (!key) continue;
      open.back().keyNext = false;
      if (!open.back().keys.insert(name).second) return at;
      continue;
    }
    if (c == ',' && !open.empty() && open.back().object) open.back().keyNext = true;
    if ((c == '}' || c == ']') && !open.empty()) open.pop_back();
    if (c == '{' || c == '[') open.push_back({c == '{', c == '{', {}});
    cursor.Advance();  // one byte: blanks, ':' and the bytes of numbers and literals too
  }
  return std::nullopt;
}

}  // namespace

Result<Json> ParseManifestText(const std::string& raw) {
  std::string text = raw.compare(0, 3, "\xEF\xBB\xBF") == 0 ? raw.substr(3) : raw;
  std::string deep = TooDeep(text, kMaxNesting);
  if (!deep.empty())
    return Failure{Exit::kBadInput, deep + ": values are nested more than " + std::to_string(kMaxNesting) +
                                        " deep; a manifest nests at most 4 (the manifest, a list, an entry of "
                                        "alternates, {\"hex\": ...})"};
  // Keys per open object, to find one given twice: JSON leaves that open
  // and the parser would silently keep one of them.
  std::vector<std::set<std::string>> open;
  std::string duplicate;
  auto callback = [&](int, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::object_start) open.emplace_back();
    else if (event == Json::parse_event_t::object_end && !open.empty()) open.pop_back();
    else if (event == Json::parse_event_t::key && !open.empty() && duplicate.empty() &&
             !open.back().insert(parsed.get<std::string>()).second)
      duplicate = parsed.get<std::string>();
    return true;
  };
  Json manifest;
  try {
    manifest = Json::parse(text, callback);
  } catch (const Json::parse_error& e) {
    return Failure{Exit::kBadInput, "not valid JSON: " + SyntaxError(text, e)};
  } catch (const Json::exception& e) {
    // A number beyond what a double holds, such as 1e400.
    std::string what = e.what();
    size_t at = what.find("] ");
    return Failure{Exit::kBadInput, "a value is out of range: " +
                                        (at == std::string::npos ? what : what.substr(at + 2)) +
                                        "; write a number that its field takes"};
  }
  if (!duplicate.empty()) {
    // The reader's key events come in the order of the text, so the first
    // key the scan finds twice is the one the reader found.
    std::optional<TextPosition> at = DuplicateKeyAt(text);
    return Failure{Exit::kBadInput, (at ? LineAndColumn(*at) + ": " : std::string()) + "the key \"" + duplicate +
                                        "\" is given twice in one object; give it once"};
  }
  return manifest;
}

}  // namespace uninstdat
