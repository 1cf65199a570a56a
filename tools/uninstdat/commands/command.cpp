// The command layer's one way of speaking on standard error, and the
// running of a parsed command; see command.h.
#include "tools/uninstdat/commands/command.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/uninstdat/commands/options.h"

namespace uninstdat {

Exit Fail(Exit code, const std::string& message) {
  Say(message);
  return code;
}

void Say(const std::string& message) { std::cerr << "uninstdat: " << message << "\n"; }

Exit RunParsed(const CLI::App& parsed, Command& command) {
  if (auto e = command.CheckUsage()) return *e;
  // --codepage, wherever a command declares it (AddCodePage): one check,
  // before the command reads anything in that code page.
  if (const CLI::Option* codePage = parsed.get_option_no_throw("--codepage"); codePage && codePage->count())
    if (auto e = CheckCodePage(codePage->as<int>())) return *e;
  return command.Run();
}

}  // namespace uninstdat
