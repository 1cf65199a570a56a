// The installer's changes; see capture_diff.h.
#include "tools/uninstdat/capture/capture_diff.h"

#include <set>

namespace uninstdat {
namespace {

// A file's state in `snapshot`: its record, and the hash of its contents,
// which is the snapshot's own when the file changed status during the run,
// else the one before the run.
FileState StateOf(const CaptureSnapshot& snapshot, const CaptureSnapshot& before, const Location& where) {
  FileState state;
  auto found = snapshot.files.find(where);
  if (found == snapshot.files.end()) return state;
  state.type = found->second.type;
  state.target = found->second.target;
  auto own = snapshot.hashes.find(where);
  if (own != snapshot.hashes.end()) {
    state.hash = own->second;
    return state;
  }
  auto old = before.hashes.find(where);
  if (old != before.hashes.end()) state.hash = old->second;
  return state;
}

// Whether the change from `was` to `after` is the installer's: the control
// run did not change the item to the same presence.
template <typename State>
bool Installers(const State& was, const State& after, const State& control, bool afterThere, bool controlThere) {
  if (after == was) return false;
  return !(control != was && controlThere == afterThere);
}

bool IsLink(const Hive& hive, const std::string& key) {
  auto found = hive.find(key);
  return found != hive.end() && found->second.link;
}

const RegistryKey* KeyIn(const Hive& hive, const std::string& key) {
  auto found = hive.find(key);
  return found == hive.end() ? nullptr : &found->second;
}

}  // namespace

bool ReadSha256Sums(const std::string& bytes, const std::string& root, std::map<Location, std::string>* hashes) {
  for (size_t at = 0; at < bytes.size();) {
    size_t nul = bytes.find('\0', at);
    if (nul == std::string::npos) return false;
    std::string record = bytes.substr(at, nul - at);
    at = nul + 1;
    // "HASH  PATH" (text mode) or "HASH *PATH" (binary mode)
    if (record.size() < 67 || (record.compare(64, 2, "  ") != 0 && record.compare(64, 2, " *") != 0)) return false;
    for (size_t i = 0; i < 64; ++i) {
      char c = record[i];
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    (*hashes)[{root, record.substr(66)}] = record.substr(0, 64);
  }
  return true;
}

CaptureChanges CompareCapture(const CaptureSnapshot& before, const CaptureSnapshot& after,
                              const CaptureSnapshot& control) {
  CaptureChanges changes;
  std::set<Location> locations;
  for (const auto& [where, record] : before.files) locations.insert(where);
  for (const auto& [where, record] : after.files) locations.insert(where);
  for (const Location& where : locations) {
    FileState was = StateOf(before, before, where), now = StateOf(after, before, where),
              other = StateOf(control, before, where);
    if (Installers(was, now, other, now.type != 0, other.type != 0)) changes.files.push_back({where, was, now});
  }

  std::set<std::string> keys;
  for (const auto& [key, content] : before.registry) keys.insert(key);
  for (const auto& [key, content] : after.registry) keys.insert(key);
  for (const std::string& key : keys) {
    if (IsLink(before.registry, key) || IsLink(after.registry, key) || IsLink(control.registry, key)) continue;
    const RegistryKey* was = KeyIn(before.registry, key);
    const RegistryKey* now = KeyIn(after.registry, key);
    const RegistryKey* other = KeyIn(control.registry, key);
    if (Installers(was != nullptr, now != nullptr, other != nullptr, now != nullptr, other != nullptr))
      changes.keys.push_back({key, now != nullptr});
    std::set<std::string> names;
    for (const RegistryKey* content : {was, now})
      if (content)
        for (const auto& [name, value] : content->values) names.insert(name);
    for (const std::string& name : names) {
      auto state = [&](const RegistryKey* content) {
        std::pair<bool, RegistryValue> result;
        if (!content) return result;
        auto found = content->values.find(name);
        if (found != content->values.end()) result = {true, found->second};
        return result;
      };
      auto wasValue = state(was), nowValue = state(now), otherValue = state(other);
      if (Installers(wasValue, nowValue, otherValue, nowValue.first, otherValue.first))
        changes.values.push_back({key, name, wasValue.first, nowValue.first, wasValue.second, nowValue.second});
    }
  }
  return changes;
}

}  // namespace uninstdat
