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

Exit Fail(const Failure& failure) {
  for (const std::string& line : Lines(failure)) Say(line);
  return failure.code;
}

void Say(const std::string& message) { std::cerr << "uninstdat: " << message << "\n"; }

Exit RunParsed(const CLI::App& parsed, Command& command) {
  if (Result<void> usage = command.CheckUsage(); !usage) return Fail(usage.failure());
  // --codepage, wherever a command declares it (AddCodePage): one check,
  // before the command reads anything in that code page.
  if (const CLI::Option* codePage = parsed.get_option_no_throw("--codepage"); codePage && codePage->count())
    if (Result<void> page = CheckCodePage(codePage->as<int>()); !page) return Fail(page.failure());
  Result<Exit> ran = command.Run();
  return ran ? *ran : Fail(ran.failure());
}

}  // namespace uninstdat
