// Name look-up in the hashed collection and entry look-up through the library cache.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "dx/DXClass.h"
#include "framework/Forms.h"
#include "platform/mm/MMSystem.h"
#include "platform/kernel/Library.h"
#include "platform/mm/MMSystemTesting.h"

namespace {

void Entry() {}

void FillCollection(dx::THashCollection& c, int count, const std::string& prefix) {
  for (int i = 0; i < count; ++i)
    static_cast<dx::THashCollectionItem*>(c.Add())->SetName(prefix + std::to_string(i));
}

void BM_IndexOfNameAscii(benchmark::State& state) {
  dx::THashCollection c(dx::THashCollectionItem::StaticClass());
  FillCollection(c, static_cast<int>(state.range(0)), "img");
  const std::string key = "IMG" + std::to_string(state.range(0) / 2);
  for (auto _ : state) benchmark::DoNotOptimize(c.IndexOfName(key));
}
BENCHMARK(BM_IndexOfNameAscii)->Arg(4)->Arg(64)->Arg(1024);

void BM_IndexOfNameCyrillic(benchmark::State& state) {
  dx::THashCollection c(dx::THashCollectionItem::StaticClass());
  FillCollection(c, static_cast<int>(state.range(0)), "фон");
  const std::string key = "ФОН" + std::to_string(state.range(0) / 2);
  for (auto _ : state) benchmark::DoNotOptimize(c.IndexOfName(key));
}
BENCHMARK(BM_IndexOfNameCyrillic)->Arg(4)->Arg(64)->Arg(1024);

// The same search as a plain walk over the collection, for comparison.
void BM_LinearSearchAscii(benchmark::State& state) {
  dx::THashCollection c(dx::THashCollectionItem::StaticClass());
  FillCollection(c, static_cast<int>(state.range(0)), "img");
  const std::string key = "IMG" + std::to_string(state.range(0) / 2);
  for (auto _ : state) {
    int found = -1;
    for (int i = 0; i < c.Count(); ++i)
      if (fw::AnsiSameText(static_cast<dx::THashCollectionItem*>(c.Items(i))->Name(), key)) {
        found = i;
        break;
      }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_LinearSearchAscii)->Arg(4)->Arg(64)->Arg(1024);

void BM_LoadProcCached(benchmark::State& state) {
  kernel::RegisterModule("BenchLib.dll", {{"Entry", &Entry}});
  dx::LoadProc("BenchLib.dll", "Entry");
  for (auto _ : state) benchmark::DoNotOptimize(dx::LoadProc("benchlib.dll", "Entry"));
  dx::FreeLoadedLibraries();
}
BENCHMARK(BM_LoadProcCached);

// One idle pass of a running frame timer: with a frame (interval 0, empty handler) and without
// one (the interval not yet over).
void BM_TimerIdlePass(benchmark::State& state) {
  fw::TApplication* app = fw::GetApplication();
  auto timer = fw::MakeOwned<dx::TDXTimer>(nullptr);
  timer->SetActiveOnly(false);
  timer->SetInterval(static_cast<std::uint32_t>(state.range(0)));
  std::int64_t frames = 0;
  timer->OnTimer = [&frames](fw::TObject*, std::int32_t) { ++frames; };
  mm::SetVirtualTime(0);
  timer->Loaded();
  for (auto _ : state) {
    if (state.range(0) == 0) mm::AdvanceVirtualTime(1);
    app->Idle();
  }
  state.counters["frames"] = static_cast<double>(frames);
  timer.reset();
  mm::UseRealClock();
}
BENCHMARK(BM_TimerIdlePass)->Arg(0)->Arg(1000000);

}  // namespace

BENCHMARK_MAIN();
