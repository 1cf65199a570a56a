// Benchmarks of the engine on the fake platform: the time per entry must stay
// flat as the number of entries grows.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/file_removal.h"
#include "tests/unit/fake_platform.h"

namespace uninst {
namespace {

// RemoveListedPaths with n paths, every second one held open so that its
// deletion fails and goes to DeferredList.
void BM_RemoveListedPaths(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    FakePlatform platform;
    RemovalList list;
    list.Attach(&platform);
    for (int i = 0; i < n; ++i) {
      std::string path = "C:\\Apps\\Widget\\file" + std::to_string(i) + ".dat";
      platform.AddFile(path);
      if (i % 2) platform.locked.insert(FakePlatform::Upper(path));
      list.Append(path.c_str());
    }
    DeferredList deferred;
    deferred.Attach(&platform);
    state.ResumeTiming();
    benchmark::DoNotOptimize(RemoveListedPaths(platform, list, deferred));
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RemoveListedPaths)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace uninst

BENCHMARK_MAIN();
