// ReCreatReadVarList: the host's definitions, in its own (here shuffled)
// order, become the cyclic read list grouped by family and sorted by
// address. Sizes from a small project up to the whole address space show
// how the rebuild grows.
#include "bench_host.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace benchhost;

namespace {

void BM_ReCreatReadVarList(benchmark::State &state)
{
    registerHost();
    QList<VarDef> list = definitions(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ReCreatReadVarList(&list));
    // Constant across sizes when the rebuild grows as n log n.
    const double n = double(state.range(0));
    state.counters["per_nlog2n"] = benchmark::Counter(
        n * std::log2(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    // The same list comes back with as many entries as there were elements.
    if (ReCreatReadVarList(&list) != list.size())
        state.SkipWithError("the read list lost entries");
}

} // namespace

// 32,110 is one definition per element of all ten families.
BENCHMARK(BM_ReCreatReadVarList)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(32110)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
