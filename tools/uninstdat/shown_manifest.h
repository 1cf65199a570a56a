// The way back from a data file to a manifest: the manifest that build turns
// into the same bytes, written part by part so that its memory does not grow
// with the file's lists.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "tools/uninstdat/codepage.h"
#include "tools/uninstdat/json.h"
#include "tools/uninstdat/model.h"

namespace uninstdat {

// Gives, part by part to `give`, the manifest (as dump(2) lays it out,
// ended by a line end) that build turns back into `bytes`, the data file:
// the texts of the file as far as it is well formed. Stops when `give`
// returns false, and then returns false.
bool WriteShownManifest(const std::string& bytes, const TargetCodePage& target,
                        const std::function<bool(std::string_view)>& give);

// Whether that manifest has at most kMaxInputBytes, the most that build
// reads: what show writes, build must read back. Counted part by part,
// never held.
bool ShownManifestFits(const std::string& bytes, const TargetCodePage& target);

}  // namespace uninstdat
