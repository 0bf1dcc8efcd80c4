// Many host threads against one polling thread, meant to run under
// ThreadSanitizer (it passes in any build). Producers queue writes and
// once-reads, rebuild and extend the cyclic list and read the image while
// the communication thread polls an in-test PLC whose line garbles some
// replies, so retries, drops and start-up exchanges happen too. At the end
// every call that queued a write or once-read has been reported by exactly
// one completion: its requests share a requestId/requestGroup pair that no
// other waiting request has, so the callback comes when its last request
// leaves the list, whether answered (status 1) or dropped (status 2).
#include "support/host.h"
#include "support/responder.h"
#include "reliability/knobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace testhost;
using Clock = std::chrono::steady_clock;

namespace {

// Requests SetRegisterData builds carry this pair; only one thread uses it
// and waits for each call's completion, so each call gets one callback.
constexpr int setRegisterId = 0;
constexpr int setRegisterGroup = -1;
// Each producer thread numbers its calls in a group of its own.
constexpr int onceReadGroup = 1;
constexpr int writeGroup = 2;
// Calls a producer may have waiting: far below the lists' 1024 entries, so
// no request is ever turned away by a full list.
constexpr int outstandingLimit = 40;

double stressSeconds()
{
    return fromEnvironment("ORDELIN_STRESS_SECONDS", 2.0);
}

// Completions by (requestId, requestGroup), filled on the communication thread.
class Ledger {
public:
    void completed(int requestId, int requestGroup, int status)
    {
        std::lock_guard<std::mutex> lock(mutex);
        Entry &entry = entries[{requestId, requestGroup}];
        ++entry.callbacks;
        entry.lastStatus = status;
        if (status == 2)
            ++dropped;
        changed.notify_all();
    }

    int callbacks(int requestId, int requestGroup)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = entries.find({requestId, requestGroup});
        return found == entries.end() ? 0 : found->second.callbacks;
    }

    // Waits until the pair has been reported; false after the deadline.
    bool waitFor(int requestId, int requestGroup, int times, Clock::time_point deadline)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_until(lock, deadline, [&] {
            auto found = entries.find({requestId, requestGroup});
            return found != entries.end() && found->second.callbacks >= times;
        });
    }

    // Every status is 1 or 2 and no pair outside the given calls appears.
    std::vector<std::string> problems(const std::map<std::pair<int, int>, int> &expected)
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> found;
        for (const auto &entry : entries) {
            const auto key = entry.first;
            const std::string name = std::to_string(key.first) + "/" + std::to_string(key.second);
            auto wanted = expected.find(key);
            if (wanted == expected.end())
                found.push_back(name + ": completion for a call never made");
            else if (entry.second.callbacks != wanted->second)
                found.push_back(name + ": " + std::to_string(entry.second.callbacks)
                                + " callbacks, expected " + std::to_string(wanted->second));
            if (entry.second.lastStatus != 1 && entry.second.lastStatus != 2)
                found.push_back(name + ": status " + std::to_string(entry.second.lastStatus));
        }
        for (const auto &wanted : expected) {
            if (entries.count(wanted.first) == 0)
                found.push_back(std::to_string(wanted.first.first) + "/"
                                + std::to_string(wanted.first.second) + ": never reported");
        }
        return found;
    }

    int droppedCount()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return dropped;
    }

private:
    struct Entry {
        int callbacks = 0;
        int lastStatus = 0;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::pair<int, int>, Entry> entries;
    int dropped = 0;
};

Ledger ledger;
std::atomic<long> imageReadsInCallback{0};

// Runs on the communication thread with the driver's list lock held: it
// may read the image, which takes only the image lock.
void onCompletion(int, int requestId, int requestGroup, int status)
{
    QByteArray data;
    GetRegisterData(QStringLiteral("DM"), requestId % 10000, 0, data, 4);
    imageReadsInCallback.fetch_add(1, std::memory_order_relaxed);
    ledger.completed(requestId, requestGroup, status);
}

struct Counters {
    std::atomic<long> exchanges{0}, garbled{0}, setRegisterQueued{0}, setRegisterImage{0},
        onceReadCalls{0}, writeCalls{0}, rebuilds{0}, readAppends{0}, imageReads{0};
};

// The communication thread: poll until told to stop; one reply in twenty
// is damaged, so rejections add up to drops now and then.
void pollLoop(std::atomic<bool> &stop, Counters &counters)
{
    Responder plc;
    std::mt19937 random(7);
    while (!stop.load()) {
        SendFrame *frame = ComCommunication();
        if (!frame) {
            std::this_thread::yield();
            continue;
        }
        QByteArray reply = plc.answer(frame->command);
        if (random() % 20 == 0) {
            reply[int(random() % unsigned(reply.size()))] = '?';
            counters.garbled.fetch_add(1, std::memory_order_relaxed);
        }
        DataCom(reply);
        counters.exchanges.fetch_add(1, std::memory_order_relaxed);
    }
}

// One producer thread's calls, each under a requestId of its own in the
// thread's group, with at most outstandingLimit of them waiting at a time.
template <typename QueueCall>
void produce(const std::atomic<bool> &stop, int group, QueueCall queueCall)
{
    std::vector<int> waiting;
    int nextId = 1;
    while (!stop.load()) {
        waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                     [group](int id) { return ledger.callbacks(id, group) > 0; }),
                      waiting.end());
        if (int(waiting.size()) >= outstandingLimit) {
            std::this_thread::yield();
            continue;
        }
        queueCall(nextId);
        waiting.push_back(nextId++);
    }
}

QList<VarDef> definitions(std::mt19937 &random)
{
    static const char *const families[] = {"RLY", "T", "C", "DM", "TM", "TV_c", "TV_p", "CV_c", "CV_p", "CTH"};
    QList<VarDef> list;
    const int n = int(random() % 12);
    for (int i = 0; i < n; ++i) {
        VarDef definition{};
        definition.registerName = QString::fromLatin1(families[random() % 10]);
        definition.address = int(random() % 10);
        definition.count = 1 + int(random() % 3);
        list.append(definition);
    }
    return list;
}

TEST(ConcurrentHosts, EveryWriteAndOnceReadIsReportedOnceWithNoRaceOrDeadlock)
{
    ComInfo info{};
    info.protocolMode = 0; // start-up exchange after every drop
    info.retryLimit = 2;
    SetComInfo(&info);
    RegistCallBackFuncIntf(&onCompletion, 0);

    Counters counters;
    std::atomic<bool> stopProducers{false}, stopPolling{false};
    std::map<std::pair<int, int>, int> expected;
    std::mutex expectedMutex;
    auto expect = [&](int id, int group) {
        std::lock_guard<std::mutex> lock(expectedMutex);
        ++expected[{id, group}];
    };

    std::thread poller(pollLoop, std::ref(stopPolling), std::ref(counters));
    std::vector<std::thread> hosts;

    // SetRegisterData in both modes; a queued call waits for its callback,
    // since all such calls share one requestId/requestGroup pair.
    hosts.emplace_back([&] {
        std::mt19937 random(1);
        int calls = 0;
        while (!stopProducers.load()) {
            QString family = QStringLiteral("DM");
            QByteArray data(6, char(random()));
            const int count = 1 + int(random() % 3);
            if (random() % 2) {
                __atomic_store_n(&info.writeMode, 0, __ATOMIC_RELAXED);
                SetRegisterData(family, 5000 + int(random() % 100), 0, data, count);
                counters.setRegisterImage.fetch_add(1);
                continue;
            }
            __atomic_store_n(&info.writeMode, 2, __ATOMIC_RELAXED);
            ASSERT_GT(SetRegisterData(family, 100 + int(random() % 100), 0, data, count), 0);
            ++calls;
            expect(setRegisterId, setRegisterGroup);
            counters.setRegisterQueued.fetch_add(1);
            ASSERT_TRUE(ledger.waitFor(setRegisterId, setRegisterGroup, calls,
                                       Clock::now() + std::chrono::seconds(30)))
                << "a queued write was never reported: deadlock or lost request";
        }
    });

    // Once-reads, each call under a new requestId; up to three elements.
    hosts.emplace_back([&] {
        std::mt19937 random(2);
        produce(stopProducers, onceReadGroup, [&](int id) {
            VarItem item = request("DM", 0, 0, id, onceReadGroup);
            item.addressText = QString::number(random() % 9000);
            item.count = 1 + int(random() % 3);
            EXPECT_GT(AddListOnceReadVar(&item), 0);
            expect(id, onceReadGroup);
            counters.onceReadCalls.fetch_add(1);
        });
    });

    // Ready-made writes through AddListWriteVar, relays and words.
    hosts.emplace_back([&] {
        std::mt19937 random(3);
        produce(stopProducers, writeGroup, [&](int id) {
            VarItem item = random() % 2
                ? writeRequest("RLY", int(random() % 16000), QByteArray(1, char(random() % 2)), id, writeGroup)
                : writeRequest("TM", int(random() % 100), QByteArray(2, char(random())), id, writeGroup);
            EXPECT_GT(AddListWriteVar(&item), 0);
            expect(id, writeGroup);
            counters.writeCalls.fetch_add(1);
        });
    });

    // The cyclic list: rebuilt from new definitions and extended.
    hosts.emplace_back([&] {
        std::mt19937 random(4);
        while (!stopProducers.load()) {
            QList<VarDef> list = definitions(random);
            ReCreatReadVarList(&list);
            counters.rebuilds.fetch_add(1);
            VarItem item = request("CTH", int(random() % 10));
            AddListReadVar(&item);
            counters.readAppends.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    // Two image readers.
    for (int reader = 0; reader < 2; ++reader) {
        hosts.emplace_back([&, reader] {
            std::mt19937 random(10 + reader);
            static const char *const families[] = {"RLY", "DM", "TM", "TV_c", "CV_p", "CTH"};
            while (!stopProducers.load()) {
                QByteArray data;
                GetRegisterData(QString::fromLatin1(families[random() % 6]), int(random() % 10000), 0,
                                data, 1 + int(random() % 8));
                counters.imageReads.fetch_add(1, std::memory_order_relaxed);
            }
        });
    }

    std::this_thread::sleep_for(std::chrono::duration<double>(stressSeconds()));
    stopProducers = true;
    for (std::thread &host : hosts)
        host.join();

    // Let the poll cycle finish what was queued, then stop it.
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    auto allReported = [&] {
        std::lock_guard<std::mutex> lock(expectedMutex);
        for (const auto &wanted : expected) {
            if (ledger.callbacks(wanted.first.first, wanted.first.second) < wanted.second)
                return false;
        }
        return true;
    };
    while (!allReported() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stopPolling = true;
    poller.join();

    for (const std::string &problem : ledger.problems(expected))
        ADD_FAILURE() << problem;
    EXPECT_GT(counters.setRegisterQueued.load(), 0);
    EXPECT_GT(counters.onceReadCalls.load(), 0);
    EXPECT_GT(counters.writeCalls.load(), 0);

    const long operations = counters.exchanges + counters.setRegisterQueued
        + counters.setRegisterImage + counters.onceReadCalls + counters.writeCalls
        + counters.rebuilds + counters.readAppends + counters.imageReads;
    std::printf("stress: %.1f s, %ld operations: %ld exchanges (%ld replies garbled, %d requests "
                "dropped), %ld SetRegisterData queued + %ld image-only, %ld once-read calls, "
                "%ld AddListWriteVar, %ld rebuilds, %ld AddListReadVar, %ld image reads, "
                "%ld image reads in callbacks\n",
                stressSeconds(), operations, counters.exchanges.load(), counters.garbled.load(),
                ledger.droppedCount(), counters.setRegisterQueued.load(),
                counters.setRegisterImage.load(), counters.onceReadCalls.load(),
                counters.writeCalls.load(), counters.rebuilds.load(), counters.readAppends.load(),
                counters.imageReads.load(), imageReadsInCallback.load());
}

} // namespace
