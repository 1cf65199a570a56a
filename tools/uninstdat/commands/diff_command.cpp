// `uninstdat diff`: what an older data file or manifest removes that a newer
// one no longer removes, on each family named, as text or JSON lines; exit 1
// when something was dropped.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/commands/input.h"
#include "tools/uninstdat/commands/options.h"
#include "tools/uninstdat/diff/diff.h"
#include "tools/uninstdat/diff/diff_render.h"
#include "tools/uninstdat/families.h"

namespace uninstdat {
namespace diff_command {

// The defaults, each printed by its option's help.
constexpr size_t kDefaultMaxPerKind = 20;
const std::vector<uninst::OsFamilyValue> kDefaultFamilies = {uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt};

class DiffFiles : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* diff = app.add_subcommand(
        "diff", "List what OLD removes that NEW no longer removes: what an upgrade from OLD to NEW leaves behind.");
    diff->add_option("OLD", old_, "the older data file or manifest (- for standard input)")->required();
    diff->add_option("NEW", new_, "the newer data file or manifest (- for standard input)")->required();
    AddJson(diff, &json_, "one JSON record per line: each dropped item, then a summary");
    AddCount(diff, "--max-per-kind", &maxPerKind_,
             "dropped items listed per family and kind, the rest counted (0: all; default " +
                 std::to_string(kDefaultMaxPerKind) + ")");
    AddCodePage(diff, &codePage_, "the ANSI code page of both files");
    machine_.Add(diff, FamilyNameList(kDefaultFamilies).c_str());
    return diff;
  }

  Result<void> CheckUsage() override {
    if (old_ == "-" && new_ == "-") return Failure{Exit::kUsage, "diff: OLD and NEW cannot both be standard input"};
    return {};
  }

  Result<Exit> Run() override {
    Result<Input> oldLoaded = LoadInput(old_, codePage_);
    if (!oldLoaded) return oldLoaded.failure();
    Result<Input> newLoaded = LoadInput(new_, codePage_);
    if (!newLoaded) return newLoaded.failure();
    const Input &oldInput = *oldLoaded, &newInput = *newLoaded;
    int oldPage = oldInput.page->converter.number(), newPage = newInput.page->converter.number();
    if (oldPage != newPage)
      return Failure{Exit::kBadInput, old_ + " is in code page " + std::to_string(oldPage) + " and " + new_ +
                                          " in " + std::to_string(newPage) +
                                          ": paths compare only within one code page; give --codepage N to read both in it"};
    Result<std::vector<Target>> targets = MakeTargetsFrom(machine_, kDefaultFamilies, *oldInput.page);
    if (!targets) return targets.failure();
    DiffCounts counts;
    DiffText text;
    for (const Target& target : *targets)
      counts += DiffRecords(oldInput.bytes, newInput.bytes, *oldInput.page, target, maxPerKind_,
                            [&](const DiffRecord& record) {
                              if (!json_) std::cout << text(record);
                              else if (Json line = DiffJson(record); !line.is_null()) std::cout << line.dump() << "\n";
                            });
    Exit exit = counts.total() ? Exit::kFindings : Exit::kDone;
    std::cout << (json_ ? DiffSummaryJson(counts, static_cast<int>(exit)).dump() + "\n" : text.Summary(counts));
    for (const std::string& p : oldInput.problems) Say(old_ + ": " + p);
    for (const std::string& p : newInput.problems) Say(new_ + ": " + p);
    return exit;
  }

 private:
  std::string old_, new_;
  int codePage_ = 0;
  MachineOptions machine_;
  bool json_ = false;
  size_t maxPerKind_ = kDefaultMaxPerKind;
};

}  // namespace diff_command

std::unique_ptr<Command> DiffCommand() { return std::make_unique<diff_command::DiffFiles>(); }

}  // namespace uninstdat
