// Benchmarks of uninstdat's lint and plan over n removal entries of the usual
// kinds (files in folders, each folder after its files, macros, alternates),
// and of the positions pass over a manifest of n entries (lint's SARIF).
// The time per entry must stay flat as n grows: nothing may be quadratic.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "tools/uninstdat/diff/diff.h"
#include "tools/uninstdat/lint/lint.h"
#include "tools/uninstdat/manifest_positions.h"
#include "tools/uninstdat/plan/plan.h"
#include "tools/uninstdat/plan/plan_render.h"

namespace uninstdat {
namespace {

std::string DataFile(int n) {
  std::string entries;
  for (int i = 0; i < n; ++i) {
    std::string folder = "data" + std::to_string(i / 10);
    switch (i % 10) {
      case 9: entries += folder + "|"; break;
      case 4: entries += "<Win>\\" + folder + ".ini|"; break;
      case 6: entries += folder + "\\lib" + std::to_string(i) + ".dll;" + folder + "\\nt" + std::to_string(i) + ".dll;|"; break;
      default: entries += folder + "\\file" + std::to_string(i) + ".txt|";
    }
  }
  std::string bytes(4, '\0');
  bytes += entries + '\0';
  bytes += std::string("HKEY_CURRENT_USER\\Software\\Widget;|") + '\0' + "Widget" + '\0' + "Widget;" + '\0';
  bytes += std::string(3, '\0') + "Widget Setup" + '\0' + "Remove?" + '\0' + std::string(3, '\0') + "Restart?" + '\0';
  return bytes;
}

// The default machines of `families`, or none with the benchmark skipped.
std::vector<Target> TargetsOr(benchmark::State& state, const std::vector<uninst::OsFamilyValue>& families,
                              const TargetCodePage& page) {
  Result<std::vector<Target>> made = MakeTargets(families, nullptr, "", page);
  if (made) return *made;
  state.SkipWithError(made.failure().message.c_str());
  return {};
}

void BM_Lint(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string bytes = DataFile(n);
  TargetCodePage page(1252);
  std::vector<Target> targets = TargetsOr(state, {uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt}, page);
  for (auto _ : state) {
    Findings findings(20);
    Lint(bytes, {}, page, targets, &findings);
    benchmark::DoNotOptimize(findings.total());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Lint)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// OLD of n entries against NEW without its last tenth, on three families:
// every entry of both judged, a tenth of OLD's dropped (20 given per kind).
void BM_Diff(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string oldBytes = DataFile(n), newBytes = DataFile(n - n / 10);
  TargetCodePage page(1252);
  std::vector<Target> targets = TargetsOr(state, {uninst::kOsWin95, uninst::kOsWin98, uninst::kOsNt}, page);
  for (auto _ : state) {
    DiffCounts counts;
    for (const Target& target : targets)
      counts += DiffRecords(oldBytes, newBytes, page, target, 20, [](const DiffRecord& r) { benchmark::DoNotOptimize(&r); });
    benchmark::DoNotOptimize(counts.total());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Diff)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_Plan(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string bytes = DataFile(n);
  TargetCodePage page(1252);
  std::vector<Target> targets = TargetsOr(state, {uninst::kOsNt}, page);
  for (auto _ : state) {
    std::ostringstream out;
    PlanText text;
    PlanRecords(bytes, page, targets[0], 0, [&](const PlanRecord& record) { out << text(record); });
    benchmark::DoNotOptimize(out.tellp());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Plan)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ManifestPositions(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string text = "{\n  \"messageCaption\": \"Widget Setup\",\n  \"removalEntries\": [\n";
  for (int i = 0; i < n; ++i)
    text += (i % 10 == 6 ? "    {\"default\": \"data\\\\lib" + std::to_string(i) + ".dll\", \"nt\": \"x.dll\"}"
                         : "    \"data" + std::to_string(i / 10) + "\\\\file" + std::to_string(i) + ".txt\"") +
            (i + 1 < n ? ",\n" : "\n");
  text += "  ]\n}\n";
  for (auto _ : state) {
    ManifestPositions positions = ManifestPositions::Of(text);
    benchmark::DoNotOptimize(positions.Item("removalEntries", n - 1));
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ManifestPositions)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace uninstdat

BENCHMARK_MAIN();
