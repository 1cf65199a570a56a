// `uninstdat show`: a data file as the manifest that build turns back into
// the same bytes, written as it goes.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/commands/input.h"
#include "tools/uninstdat/commands/options.h"
#include "tools/uninstdat/model.h"
#include "tools/uninstdat/shown_manifest.h"
#include "tools/uninstdat/system/io.h"

namespace uninstdat {
namespace show_command {

class Show : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* show = app.add_subcommand("show", "Print a data file as a manifest that build turns into the same bytes.");
    show->add_option("FILE", path_, "the data file (- for standard input)")->required();
    AddCodePage(show, &codePage_, "the file's ANSI code page (default " + std::to_string(kDefaultCodePage) + ")");
    show->add_flag("--force", force_, "show a file that does not look like a data file");
    return show;
  }

  Result<Exit> Run() override {
    Result<Input> loaded = LoadInput(path_, codePage_);
    if (!loaded) return loaded.failure();
    const Input& input = *loaded;
    if (input.manifest) return Failure{Exit::kUsage, path_ + " is a manifest; show reads data files (build one first)"};
    std::string why = WhyNotADataFile(input.bytes);
    // A manifest over the input limit (millions of tiny entries) is
    // counted first, never written.
    if (why.empty() && !ShownManifestFits(input.bytes, *input.page))
      why = "its manifest would have more than the " + std::to_string(kMaxInputBytes >> 20) + " MiB that build reads";
    if (!why.empty() && !force_)
      return Failure{Exit::kBadInput, path_ + " does not look like a data file: " + why + "; --force shows it anyway"};
    for (const std::string& p : input.problems) Say(path_ + ": " + p);
    // Part by part: the output of a large file never lies in memory whole.
    WriteShownManifest(input.bytes, *input.page, [](std::string_view part) { return bool(std::cout << part); });
    std::cout.flush();
    if (!std::cout) return Failure{Exit::kCannotWrite, "standard output: " + LastSystemError()};
    return Exit::kDone;
  }

 private:
  std::string path_;
  int codePage_ = 0;
  bool force_ = false;
};

}  // namespace show_command

std::unique_ptr<Command> ShowCommand() { return std::make_unique<show_command::Show>(); }

}  // namespace uninstdat
