// Positions in a manifest's text; see manifest_positions.h. A scan of the
// tokens that keeps only a stack of the open containers, so that it is
// linear however the text is laid out; the reader's TextCursor counts the
// lines and columns.
#include "tools/uninstdat/manifest_positions.h"

namespace uninstdat {

ManifestPositions ManifestPositions::Of(const std::string& text) {
  ManifestPositions positions;
  TextCursor cursor(text);
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
