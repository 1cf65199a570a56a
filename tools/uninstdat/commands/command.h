// The command layer: each command of uninstdat is a unit of its own
// (*_command.cpp) with its options, its run and its printing. Only this
// layer knows exit codes, standard output and standard error; the units
// below it return values.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/uninstdat/result.h"

namespace CLI {
class App;
}

namespace uninstdat {

// Exit, the exit codes, is declared with the result type in the core.

// Writes "uninstdat: MESSAGE" on standard error and returns `code`.
Exit Fail(Exit code, const std::string& message);
// The same for a failure of a call below the commands.
inline Exit Fail(const Failure& failure) { return Fail(failure.code, failure.message); }
// Writes "uninstdat: MESSAGE" on standard error.
void Say(const std::string& message);

class Command {
 public:
  virtual ~Command() = default;
  // Declares the command, its options and its help on `app`.
  virtual CLI::App* Add(CLI::App& app) = 0;
  // kUsage, after saying so, for options that parse but cannot go together;
  // checked before the options that every command checks alike.
  virtual std::optional<Exit> CheckUsage() { return std::nullopt; }
  // Runs it once the command line is parsed and its options checked.
  virtual Exit Run() = 0;
};

// Runs the command that `parsed` (its Add's result) holds: its CheckUsage,
// then the checks of the options that commands share (the --codepage given
// is a Windows ANSI code page), then its Run. The one way main runs a
// command, so that no command checks a shared option by hand.
Exit RunParsed(const CLI::App& parsed, Command& command);

// Every command, in the order help lists them.
std::unique_ptr<Command> BuildCommand();
std::unique_ptr<Command> ShowCommand();
std::unique_ptr<Command> LintCommand();
std::unique_ptr<Command> PlanCommand();
std::unique_ptr<Command> DiffCommand();
std::unique_ptr<Command> ScanCommand();
std::unique_ptr<Command> TryCommand();
std::unique_ptr<Command> CaptureCommand();

}  // namespace uninstdat
