// Names an unknown one probably meant; see suggestions.h.
#include "tools/uninstdat/suggestions.h"

#include <algorithm>

#include "tools/uninstdat/names.h"

namespace uninstdat {
namespace {

// Edit distance, for the name an unknown one probably meant.
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t up = row[j];
      bool same = AsciiLower(a[i - 1]) == AsciiLower(b[j - 1]);
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string UnknownName(const std::string& name, const std::vector<std::string>& known,
                        const std::string& what) {
  const std::string* best = nullptr;
  size_t bestDistance = std::max<size_t>(2, name.size() / 3) + 1;
  for (const std::string& candidate : known) {
    if (name.size() > candidate.size() + bestDistance) continue;  // too far, and bounded in time
    size_t d = Distance(name, candidate);
    if (d < bestDistance) best = &candidate, bestDistance = d;
  }
  std::string text = "is no " + what;
  if (best) text += "; did you mean \"" + *best + "\"?";
  else {
    text += " (";
    for (size_t i = 0; i < known.size(); ++i) text += (i ? ", " : "") + known[i];
    text += ")";
  }
  return text;
}

}  // namespace uninstdat
