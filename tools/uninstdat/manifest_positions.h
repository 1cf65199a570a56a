// Where a manifest's parts stand in its text: the line and column of each
// top-level key, of each item of a top-level list and of each key of a
// top-level object, so that a finding about removalEntries[3] can point at
// the line an author edits. Lines and columns are TextPositions, counted
// as manifest_reader.h says.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/uninstdat/manifest_reader.h"

namespace uninstdat {

class ManifestPositions {
 public:
  // One pass over `text`, which ParseManifestText accepted (so it nests at
  // most kMaxNesting deep), up to its first NUL byte, where the JSON reader
  // ends too. Time and memory are linear in its size: a
  // position per top-level key, per item of a top-level list and per key of
  // a top-level object, nothing for deeper values.
  static ManifestPositions Of(const std::string& text);

  // The opening "{" of the manifest.
  TextPosition Root() const { return root_; }
  // The key "name" of the top-level object, or nullopt when it is absent.
  std::optional<TextPosition> Key(const std::string& name) const;
  // Where item `index` of the top-level list `name` begins (its value's
  // first character), or nullopt.
  std::optional<TextPosition> Item(const std::string& name, size_t index) const;
  // The key `key` of the top-level object `name` ("trailing"), or nullopt.
  std::optional<TextPosition> MemberKey(const std::string& name, const std::string& key) const;

 private:
  struct Member {
    TextPosition key;
    std::vector<TextPosition> items;              // when its value is a list
    std::map<std::string, TextPosition> members;  // when its value is an object
  };
  TextPosition root_;
  std::map<std::string, Member> members_;
};

}  // namespace uninstdat
