// `uninstdat plan`: what the uninstaller would do, in its order, on each
// family named, as text or JSON lines written as they are made.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/uninstdat/commands/command.h"
#include "tools/uninstdat/commands/input.h"
#include "tools/uninstdat/commands/options.h"
#include "tools/uninstdat/families.h"
#include "tools/uninstdat/plan/plan.h"
#include "tools/uninstdat/plan/plan_render.h"

namespace uninstdat {
namespace plan_command {

// The defaults, each printed by its option's help.
constexpr size_t kDefaultMaxPerReason = 20;
const std::vector<uninst::OsFamilyValue> kDefaultFamilies = {uninst::kOsNt};

class PlanFile : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* plan = app.add_subcommand("plan", "Tell what the uninstaller would do, in its order.");
    file_.AddFile(plan);
    AddJson(plan, &json_, "one JSON record per line: boxes, programs, shortcuts, registry, each entry's outcome");
    AddCount(plan, "--max-per-reason", &maxPerReason_,
             "records listed per kind and reason, the rest counted (0: all; default " +
                 std::to_string(kDefaultMaxPerReason) + ")");
    file_.AddMachine(plan, FamilyNameList(kDefaultFamilies).c_str());
    return plan;
  }

  Result<Exit> Run() override {
    Result<Input> loaded = file_.Load();
    if (!loaded) return loaded.failure();
    const Input& input = *loaded;
    Result<std::vector<Target>> made = MakeTargetsFrom(file_.machine, kDefaultFamilies, *input.page);
    if (!made) return made.failure();
    const std::vector<Target>& targets = *made;
    for (size_t t = 0; t < targets.size(); ++t) {
      if (json_) {
        PlanRecords(input.bytes, *input.page, targets[t], maxPerReason_,
                    [](const PlanRecord& record) { std::cout << PlanJson(record).dump() << "\n"; });
      } else {
        if (t) std::cout << "\n";
        PlanText text;
        PlanRecords(input.bytes, *input.page, targets[t], maxPerReason_,
                    [&](const PlanRecord& record) { std::cout << text(record); });
      }
    }
    for (const std::string& p : input.problems) Say(file_.path + ": " + p);
    return Exit::kDone;
  }

 private:
  AnalysisOptions file_;
  bool json_ = false;
  size_t maxPerReason_ = kDefaultMaxPerReason;
};

}  // namespace plan_command

std::unique_ptr<Command> PlanCommand() { return std::make_unique<plan_command::PlanFile>(); }

}  // namespace uninstdat
