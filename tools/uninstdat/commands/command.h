// The command layer: each command of uninstdat is a unit of its own
// (*_command.cpp) with its options, its run and its printing. Only this
// layer knows exit codes, standard output and standard error; the units
// below it return values.
#pragma once

#include <memory>
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
// The same for a failure: each of its lines (result.h: Lines), then its code.
Exit Fail(const Failure& failure);
// Writes "uninstdat: MESSAGE" on standard error.
void Say(const std::string& message);

class Command {
 public:
  virtual ~Command() = default;
  // Declares the command, its options and its help on `app`.
  virtual CLI::App* Add(CLI::App& app) = 0;
  // A kUsage Failure for options that parse but cannot go together;
  // checked before the options that every command checks alike.
  virtual Result<void> CheckUsage() { return {}; }
  // Runs it once the command line is parsed and its options checked: the
  // exit code of a run that went through (findings are no failure), or the
  // Failure that stopped it, which RunParsed prints. A run that has more to
  // say after a failure (a work folder that stays) prints it itself.
  virtual Result<Exit> Run() = 0;
};

// Runs the command that `parsed` (its Add's result) holds: its CheckUsage,
// then the checks of the options that commands share (the --codepage given
// is a Windows ANSI code page), then its Run; the one place that prints
// the Failure that stopped any of them. The one way main runs a command,
// so that no command checks a shared option by hand.
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
