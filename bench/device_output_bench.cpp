// Time of every reader of device output (fuzz/DeviceOutput.h) over one long line and over many
// short lines, fed in 4 KiB chunks as a pipe delivers them, at growing sizes: the time per
// character and per line must stay flat (linear in the input).
//   build/bench/bench_device_output
#include "DeviceOutput.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kestrane;

void Read(benchmark::State& state, const QString& text) {
    const std::vector<qsizetype> chunks = EvenChunks(text.size(), 4096);
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadDeviceOutput(text, chunks, 1, false));
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}

void OneLongLineOfN(benchmark::State& state) {
    Read(state, OneLongLine(state.range(0)));
}
BENCHMARK(OneLongLineOfN)
    ->RangeMultiplier(4)
    ->Range(160'000, 10'240'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void NShortLines(benchmark::State& state) {
    Read(state, ManyShortLines(state.range(0)));
}
BENCHMARK(NShortLines)
    ->RangeMultiplier(4)
    ->Range(15'625, 1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
