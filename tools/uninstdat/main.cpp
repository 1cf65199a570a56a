// uninstdat: writes, reads, checks and explains the uninstaller's data files.
// This file only builds the command line from the commands (commands/) and
// runs the one given; every command decides its own exit code.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/system/process.h"

#ifndef UNINSTDAT_VERSION
#define UNINSTDAT_VERSION "unknown"
#endif

using namespace uninstdat;

namespace {

// `uninstdat help [COMMAND]`: through the formatter, not App::help, which
// would describe the help command itself once it has been parsed.
Exit Help(const CLI::App& app, const std::string& topic, const std::string& commands) {
  const CLI::App* described = topic.empty() ? &app : nullptr;
  for (const CLI::App* command : app.get_subcommands({}))
    if (command->get_name() == topic) described = command;
  if (!described) return Fail(Exit::kUsage, "no command " + topic + " (" + commands + ")");
  std::cout << app.get_formatter()->make_help(described, described->get_name(), CLI::AppFormatMode::Normal);
  return Exit::kDone;
}

// A command line that does not parse: named as an unknown command, or with
// the command whose help names its options.
Exit Misused(const CLI::App& app, const CLI::ParseError& e, int argc, char** argv, const std::string& commands) {
  std::string command = app.get_subcommands().empty() ? "" : app.get_subcommands()[0]->get_name();
  if (command.empty() && argc > 1 && argv[1][0] != '-')
    return Fail(Exit::kUsage, std::string("no command ") + argv[1] + " (" + commands + ")");
  return Fail(Exit::kUsage, command.empty() ? std::string(e.what()) + "; uninstdat help names the commands"
                                            : command + ": " + e.what() + "; uninstdat help " + command +
                                                  " names the options");
}

Exit Run(int argc, char** argv) {
  CLI::App app{"Writes, reads, checks and explains the uninstaller's data files.\n"
               "Exit codes: 0 done, 1 findings under --strict (diff: something dropped), 2 usage, 3 an input "
               "that cannot be read or is not well formed, 4 an output that cannot be written, 70 a fault of "
               "uninstdat itself."};
  app.name("uninstdat");
  app.set_version_flag("--version", std::string("uninstdat ") + UNINSTDAT_VERSION);
  app.require_subcommand(1);
  std::vector<std::unique_ptr<Command>> commands;
  for (auto make : {BuildCommand, ShowCommand, LintCommand, PlanCommand, DiffCommand, ScanCommand, TryCommand, CaptureCommand})
    commands.push_back(make());
  std::vector<std::pair<CLI::App*, Command*>> added;
  for (const auto& command : commands) added.push_back({command->Add(app), command.get()});
  std::string helpTopic, names;
  CLI::App* help = app.add_subcommand("help", "Describe uninstdat or one of its commands.");
  for (const CLI::App* command : app.get_subcommands({}))
    names += (names.empty() ? "" : ", ") + command->get_name();
  help->add_option("COMMAND", helpTopic, "one of " + names);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e) == 0 ? Exit::kDone : Exit::kUsage;  // --help, --version
  } catch (const CLI::ParseError& e) {
    return Misused(app, e, argc, argv, names);
  }
  if (*help) return Help(app, helpTopic, names);
  for (const auto& [parsed, command] : added)
    if (*parsed) return RunParsed(*parsed, *command);
  return Exit::kUsage;  // require_subcommand(1) leaves no other way
}

}  // namespace

int main(int argc, char** argv) {
  IgnoreFileSizeLimitSignal();
  // Every error is a message and an exit code; nothing ends the process
  // with an uncaught exception (result.h: FailureOf).
  try {
    return static_cast<int>(Run(argc, argv));
  } catch (const std::exception& e) {
    // Out of memory and what the input made impossible: exit 3; a broken
    // invariant of uninstdat's own: exit 70 and a request for a report.
    return static_cast<int>(Fail(FailureOf(e)));
  }
}
