// Benchmarks of the engine on the fake platform. The time per entry (or per
// byte) must stay flat as the input grows: nothing may be quadratic.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "engine/data_file.h"
#include "engine/data_file_layout.h"
#include "engine/file_removal.h"
#include "engine/registry.h"
#include "engine/restart_schedule.h"
#include "engine/shortcuts.h"
#include "tests/unit/fake_platform.h"

namespace uninst {
namespace {

// A file system that answers in constant time, so that the benchmark
// measures the engine and not the fake's tree: every path is a file, and the
// deletion of every second one (odd last digit) fails.
class FlatFiles final : public FakePlatform {
 public:
  Handle FindFirstFile(const char*, FindData* out) override {
    out->attributes = kFileAttributeNormal;
    return reinterpret_cast<Handle>(1);
  }
  bool DeleteFile(const char* path) override {
    const char* dot = strrchr(path, '.');
    return dot && ((dot[-1] - '0') % 2 == 0);
  }
};

// RemoveListedPaths with n paths, half of which fail and go to DeferredList.
void BM_RemoveListedPaths(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  FlatFiles platform;
  for (auto _ : state) {
    state.PauseTiming();
    RemovalList list;
    list.Attach(&platform);
    for (int i = 0; i < n; ++i)
      list.Append(("C:\\Apps\\Widget\\file" + std::to_string(i) + ".dat").c_str());
    DeferredList deferred;
    deferred.Attach(&platform);
    state.ResumeTiming();
    benchmark::DoNotOptimize(RemoveListedPaths(platform, list, deferred));
    state.PauseTiming();
    if (deferred.Size() == 0) state.SkipWithError("nothing failed");
    deferred.Release();
    list.Clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RemoveListedPaths)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The parser over n removal entries of the usual kinds, on the NT family.
void BM_ParseDataFile(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string bytes(4, '\0');
  const char* kinds[] = {"bin\\widget%d.exe|", "<Win>\\w%d.ini;;;<Win>\\w95_%d.ini|",
                         "<Sys>\\a%d.dll;<Sys32>\\a%d.dll;|", "D:\\Shared\\file%d.txt|"};
  char entry[128];
  for (int i = 0; i < n; ++i) {
    snprintf(entry, sizeof entry, kinds[i % 4], i, i);
    bytes += entry;
  }
  bytes += std::string(kDataTextCount, '\0');
  FakePlatform platform;
  RunState run(platform);
  run.osFamily = kOsNt;
  strcpy(run.exeFolder, "C:\\Program Files\\Widget");
  for (auto _ : state) {
    RemovalList list;
    list.Attach(&platform);
    ParseDataFile(run, bytes.data(), static_cast<uint32_t>(bytes.size()), list);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ParseDataFile)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The registry list walk over n entries (actions counted, no registry).
void BM_RegistryWalk(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string list;
  for (int i = 0; i < n; ++i)
    list += i % 2 ? "HKEY_CURRENT_USER\\Software\\Widget\\K" + std::to_string(i) + ";|"
                  : "HKEY_LOCAL_MACHINE\\Software\\Widget;Value" + std::to_string(i) + "|";
  CodePage codePage;
  for (auto _ : state) {
    std::string copy = list;
    int actions = 0;
    WalkRegistryList(codePage, &copy[0], [](void* c, const RegistryAction&) { ++*static_cast<int*>(c); },
                     &actions);
    benchmark::DoNotOptimize(actions);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RegistryWalk)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The shortcut list walk over n names.
void BM_ShortcutWalk(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string list;
  for (int i = 0; i < n; ++i) list += "Widget Tool " + std::to_string(i) + ";";
  CodePage codePage;
  for (auto _ : state) {
    size_t total = 0;
    ForEachShortcutName(codePage, list.c_str(),
                        [](void* c, const char*, size_t length) { *static_cast<size_t*>(c) += length; },
                        &total);
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ShortcutWalk)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

class NullSink : public ByteSink {
 public:
  void Write(const char*, size_t size) override { written += size; }
  size_t written = 0;
};

// The WININIT.INI rewrite over an old file of the given size, its "[rename]"
// section at the end.
void BM_WininitRewrite(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  std::string old = "[boot]\r\n";
  for (int i = 0; old.size() < size; ++i) old += "key" + std::to_string(i) + "=some value here\r\n";
  old += "[Rename]\r\nNUL=C:\\OLD.TXT\r\n";
  for (auto _ : state) {
    NullSink sink;
    RewriteWininit(old.data(), old.size(), "C:\\PROGRA~1\\WIDGET\\A.DLL", sink);
    benchmark::DoNotOptimize(sink.written);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(old.size()));
}
BENCHMARK(BM_WininitRewrite)->Arg(1 << 18)->Arg(1 << 19)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// DeferredList growth by n failed paths.
void BM_DeferredListGrowth(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  FakePlatform platform;
  for (auto _ : state) {
    DeferredList deferred;
    deferred.Attach(&platform);
    for (int i = 0; i < n; ++i) deferred.Append("C:\\Program Files\\Widget\\data\\held.dll");
    benchmark::DoNotOptimize(deferred.Size());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DeferredListGrowth)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace uninst

BENCHMARK_MAIN();
