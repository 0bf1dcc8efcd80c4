// GetRegisterData serves the host's screens from the register image. Alone
// it is a copy under the image mutex; while the communication thread polls
// at full speed, the reader can only ever wait for the one reply being
// decoded (or the one written value being stored), never for the line.
#include "bench_host.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <sys/resource.h>

using namespace benchhost;

namespace {

using Clock = std::chrono::steady_clock;

// The host's communication thread at full speed: the whole address space
// in the cyclic read list, every reply decoded into the image.
class Poller {
public:
    Poller()
    {
        registerHost();
        QList<VarDef> all = definitions(32110);
        ReCreatReadVarList(&all);
        thread = std::thread([this] {
            CannedPlc plc;
            while (!stop.load(std::memory_order_relaxed)) {
                exchange(plc);
                exchanges.fetch_add(1, std::memory_order_relaxed);
            }
        });
    }
    ~Poller()
    {
        stop.store(true);
        thread.join();
        clearReadList();
    }
    long long count() const { return exchanges.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> stop{false};
    std::atomic<long long> exchanges{0};
    std::thread thread;
};

// Context switches of the calling thread so far: voluntary ones (it slept,
// here only ever on the image mutex) and involuntary ones (the system gave
// its core to another thread).
struct Switches {
    long slept, preempted;
};

Switches switches()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {usage.ru_nvcsw, usage.ru_nivcsw};
}

// Each read is timed alone. Beside the median the counters give the
// slowest read and the 99.9th percentile, in microseconds; a read during
// which the system preempted the reader says nothing about the driver, so
// the slowest read left alone is given too (kept_worst_us), with the number
// of reads that were preempted and of those that slept on the image mutex.
// With a poller, the poll rate the communication thread kept up meanwhile.
void timedReads(benchmark::State &state, Poller *poller)
{
    const QString family = QStringLiteral("DM");
    const int words = int(state.range(0));
    QByteArray data(2 * words, '\0');
    std::vector<double> times;
    times.reserve(1 << 22);
    double keptWorst = 0;
    long preempted = 0;
    long slept = 0;
    const long long exchangesBefore = poller ? poller->count() : 0;
    const Clock::time_point begin = Clock::now();

    for (auto _ : state) {
        const Switches before = switches();
        const Clock::time_point start = Clock::now();
        GetRegisterData(family, 0, 0, data, words);
        const Clock::time_point end = Clock::now();
        const Switches after = switches();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        times.push_back(seconds);
        if (after.preempted != before.preempted)
            ++preempted;
        else
            keptWorst = std::max(keptWorst, seconds);
        if (after.slept != before.slept)
            ++slept;
    }

    const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        state.counters["worst_us"] = times.back() * 1e6;
        state.counters["p99.9_us"] = times[size_t(double(times.size() - 1) * 0.999)] * 1e6;
    }
    state.counters["kept_worst_us"] = keptWorst * 1e6;
    state.counters["preempted"] = double(preempted);
    state.counters["slept"] = double(slept);
    if (poller)
        state.counters["polls/s"] = double(poller->count() - exchangesBefore) / elapsed;
}

void BM_GetRegisterData(benchmark::State &state)
{
    registerHost();
    timedReads(state, nullptr);
}

void BM_GetRegisterDataWhilePolling(benchmark::State &state)
{
    Poller poller;
    timedReads(state, &poller);
}

// Over repetitions the slowest read matters, not a typical one.
double largest(const std::vector<double> &values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

} // namespace

// A whole screen of DM words, and a single word, whose time is mostly the
// wait for the image mutex.
BENCHMARK(BM_GetRegisterData)->Arg(10000)->Arg(1)->UseManualTime()
    ->ComputeStatistics("max", largest)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetRegisterDataWhilePolling)->Arg(10000)->Arg(1)->UseManualTime()
    ->ComputeStatistics("max", largest)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
