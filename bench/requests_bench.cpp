// The request exports a host calls from its own threads while polling goes
// on: a once-read joining a nearly full list, and a block of words written
// with SetRegisterData. Each call is timed alone; the exchanges that empty
// the lists again between calls run off the clock.
#include "bench_host.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace benchhost;

namespace {

constexpr int capacity = 1024; // of the once-read and the write list
constexpr int dmWords = 10000;

using Clock = std::chrono::steady_clock;

// Times one call alone as the iteration's time and returns its result.
template <typename Call>
int timed(benchmark::State &state, Call call)
{
    const Clock::time_point start = Clock::now();
    const int result = call();
    const Clock::time_point end = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    return result;
}

void drain(CannedPlc &plc)
{
    for (int i = 0; i < 4 * capacity && exchange(plc); ++i) {
    }
}

VarItem onceRead(int address)
{
    VarItem item = request("DM", 0);
    item.addressText = QString::number(address);
    return item;
}

// Every call adds a request not yet waiting, with 1,023 others waiting;
// one exchange off the clock then takes the oldest away again.
void BM_AddListOnceReadVar(benchmark::State &state)
{
    registerHost();
    clearReadList();
    CannedPlc plc;
    drain(plc);
    int next = 0;
    for (; next < capacity - 1; ++next) {
        VarItem item = onceRead(next);
        AddListOnceReadVar(&item);
    }

    for (auto _ : state) {
        VarItem item = onceRead(next);
        next = (next + 1) % dmWords;
        if (timed(state, [&item] { return AddListOnceReadVar(&item); }) != capacity) {
            state.SkipWithError("the new request was not queued");
            break;
        }
        exchange(plc);
    }
    drain(plc);
}

// One call queues 1,024 words, one write request each, which fills the
// write list; the exchanges that send them run off the clock.
void BM_SetRegisterData(benchmark::State &state)
{
    registerHost(2);
    clearReadList();
    CannedPlc plc;
    drain(plc);
    QString family = QStringLiteral("DM");
    QByteArray data(2 * capacity, '\x11');

    for (auto _ : state) {
        if (timed(state, [&] { return SetRegisterData(family, 0, 0, data, capacity); }) != capacity) {
            state.SkipWithError("not every word was queued");
            break;
        }
        drain(plc);
    }
}

} // namespace

BENCHMARK(BM_AddListOnceReadVar)->UseManualTime();
BENCHMARK(BM_SetRegisterData)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
