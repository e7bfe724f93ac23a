// What a host pays for an instance: the time to create and close one through
// the module, and the resident memory each live, not yet recording, instance
// adds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "test_host.h"

namespace {

long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void BM_InstantiateAndClose(benchmark::State& state)
{
    TestHost host;
    for (auto _ : state) {
        AEffect* effect = host.createInstance();
        benchmark::DoNotOptimize(effect);
        TestHost::dispatch(effect, effClose);
    }
    state.SetLabel("per instance");
}
BENCHMARK(BM_InstantiateAndClose)->Unit(benchmark::kMillisecond);

void BM_ResidentMemoryPerLiveInstance(benchmark::State& state)
{
    constexpr int kInstances = 20;
    TestHost host;
    for (auto _ : state) {
        // One instance first so that the module's own pages are already resident.
        AEffect* warm = host.createInstance();
        long before = residentKilobytes();
        std::vector<AEffect*> live;
        for (int i = 0; i < kInstances; ++i)
            live.push_back(host.createInstance());
        long after = residentKilobytes();
        for (AEffect* effect : live)
            TestHost::dispatch(effect, effClose);
        TestHost::dispatch(warm, effClose);
        state.counters["MB_per_instance"] =
            static_cast<double>(after - before) / 1024.0 / kInstances;
    }
}
BENCHMARK(BM_ResidentMemoryPerLiveInstance)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
