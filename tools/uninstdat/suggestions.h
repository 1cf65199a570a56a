// Suggestions for a name that is none of the known ones: the manifest's
// fields, alternates and registry parts, and the lint codes that
// "lintAllow" and --allow name.
#pragma once

#include <string>
#include <vector>

namespace uninstdat {

// "is no <what>; did you mean "<name>"?", or the known names when none is
// close. Bounded in time however long `name` is.
std::string UnknownName(const std::string& name, const std::vector<std::string>& known,
                        const std::string& what);

}  // namespace uninstdat
