// One steady-state exchange: ComCommunication hands out a frame, the canned
// PLC answers it, DataCom judges and decodes the reply. The serial line
// needs 1.56 ms for a one-word DM read at 115200 baud; the driver's share
// should not show next to it.
#include "allocation_count.h"
#include "bench_host.h"

#include <benchmark/benchmark.h>

using namespace benchhost;

namespace {

void reportAllocations(benchmark::State &state, std::uint64_t before)
{
    state.counters["allocs"] = benchmark::Counter(double(allocationCount() - before),
                                                  benchmark::Counter::kAvgIterations);
}

// A cyclic read list of one entry: every exchange encodes it, decodes the
// reply into the image and rotates the list.
void cyclicRead(benchmark::State &state, const char *family, int address)
{
    registerHost();
    clearReadList();
    VarItem item = request(family, address);
    AddListReadVar(&item);
    CannedPlc plc;
    exchange(plc); // the first exchange clears startupPending

    const std::uint64_t before = allocationCount();
    for (auto _ : state) {
        SendFrame *frame = ComCommunication();
        benchmark::DoNotOptimize(DataCom(plc.answer(*frame)));
    }
    reportAllocations(state, before);
}

void BM_DmRead(benchmark::State &state) { cyclicRead(state, "DM", 100); }
void BM_RelayRead(benchmark::State &state) { cyclicRead(state, "RLY", 100); }
void BM_TimerPresetRead(benchmark::State &state) { cyclicRead(state, "TV_p", 5); }

// Writes leave the list once answered, so the list is refilled, off the
// clock, each time it runs dry. With no cyclic reads, every fifth write is
// followed by one null frame (the end of a burst); exchange() asks again,
// as a host would, and that call is counted in.
void BM_DmWrite(benchmark::State &state)
{
    registerHost();
    clearReadList();
    CannedPlc plc;
    VarItem item = request("DM", 100, 1);
    item.data = QByteArray("\x7b\x00", 2);
    const int capacity = 1024;
    int waiting = 0;

    const std::uint64_t before = allocationCount();
    for (auto _ : state) {
        if (waiting == 0) {
            state.PauseTiming();
            for (; waiting < capacity; ++waiting)
                AddListWriteVar(&item);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(exchange(plc));
        --waiting;
    }
    reportAllocations(state, before);
    while (AddListWriteVar(nullptr) > 0 && exchange(plc)) {
    }
}

// A host that asks again before answering gets the frame in flight back:
// no lock, no allocation.
void BM_FrameInFlight(benchmark::State &state)
{
    registerHost();
    clearReadList();
    VarItem item = request("DM", 100);
    AddListReadVar(&item);
    SendFrame *first = ComCommunication();

    const std::uint64_t before = allocationCount();
    for (auto _ : state)
        benchmark::DoNotOptimize(ComCommunication());
    reportAllocations(state, before);
    if (ComCommunication() != first)
        state.SkipWithError("the frame in flight changed");
    CannedPlc plc;
    DataCom(plc.answer(*first));
}

} // namespace

BENCHMARK(BM_DmRead);
BENCHMARK(BM_RelayRead);
BENCHMARK(BM_TimerPresetRead);
BENCHMARK(BM_DmWrite);
BENCHMARK(BM_FrameInFlight);

BENCHMARK_MAIN();
