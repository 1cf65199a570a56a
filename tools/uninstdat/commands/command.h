// The command layer: each command of uninstdat is a unit of its own
// (*_command.cpp) with its options, its run and its printing. Only this
// layer knows exit codes, standard output and standard error; the units
// below it return values.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace uninstdat {

enum class Exit : int {
  kDone = 0,         // also: findings without --strict
  kFindings = 1,     // findings under --strict; try: something to mend; diff: something dropped
  kUsage = 2,        // an unknown command or option, a bad value, an output that is the input
  kBadInput = 3,     // an input that cannot be read or is not well formed (try: or cannot be used)
  kCannotWrite = 4,  // an output that cannot be written; the old file is unchanged
  kInterrupted = 130,
};

// Writes "uninstdat: MESSAGE" on standard error and returns `code`.
Exit Fail(Exit code, const std::string& message);
// Writes "uninstdat: MESSAGE" on standard error.
void Say(const std::string& message);

class Command {
 public:
  virtual ~Command() = default;
  // Declares the command, its options and its help on `app`.
  virtual CLI::App* Add(CLI::App& app) = 0;
  // Runs it once the command line is parsed.
  virtual Exit Run() = 0;
};

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
