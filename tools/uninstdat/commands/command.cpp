// Running a parsed command; see command.h.
#include "tools/uninstdat/commands/command.h"

#include <CLI/CLI.hpp>

#include "tools/uninstdat/commands/options.h"

namespace uninstdat {

Exit RunParsed(const CLI::App& parsed, Command& command) {
  if (auto e = command.CheckUsage()) return *e;
  // --codepage, wherever a command declares it (AddCodePage): one check,
  // before the command reads anything in that code page.
  if (const CLI::Option* codePage = parsed.get_option_no_throw("--codepage"); codePage && codePage->count())
    if (auto e = CheckCodePage(codePage->as<int>())) return *e;
  return command.Run();
}

}  // namespace uninstdat
