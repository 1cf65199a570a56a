// The command layer's one way of speaking on standard error; see command.h.
#include "tools/uninstdat/commands/command.h"

#include <iostream>

namespace uninstdat {

Exit Fail(Exit code, const std::string& message) {
  Say(message);
  return code;
}

void Say(const std::string& message) { std::cerr << "uninstdat: " << message << "\n"; }

}  // namespace uninstdat
