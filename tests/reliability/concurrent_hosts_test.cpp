// Many host threads against one polling thread, meant to run under
// ThreadSanitizer (it passes in any build). Producers queue writes and
// once-reads, rebuild and extend the cyclic list and read the image while
// the communication thread polls the simulated PLC over a line that garbles
// one reply in twenty, so retries, drops and start-up exchanges happen too.
// At the end every call that queued a write or once-read has been reported
// by exactly one completion: its requests share a requestId/requestGroup
// pair no other waiting request has.
#include "support/host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <thread>

using namespace testhost;
using namespace std::chrono_literals;

namespace {

// Completions by (requestId, requestGroup), filled on the communication thread.
struct Ledger {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::pair<int, int>, int> reports;
    std::map<int, int> perGroup;
    int badStatus = 0;

    int reported(int group)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return perGroup[group];
    }
    bool waitFor(int group, int reports, std::chrono::seconds timeout)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return perGroup[group] >= reports; });
    }
} ledger;

// Runs with the driver's list lock held: it may read the image.
void onCompletion(int, int requestId, int requestGroup, int status)
{
    QByteArray data;
    GetRegisterData(QStringLiteral("DM"), requestId % 10000, 0, data, 4);
    std::lock_guard<std::mutex> lock(ledger.mutex);
    ++ledger.reports[{requestId, requestGroup}];
    ++ledger.perGroup[requestGroup];
    ledger.badStatus += status == 1 || status == 2 ? 0 : 1;
    ledger.changed.notify_all();
}

void pollLoop(const std::atomic<bool> &stop, std::atomic<long> &exchanges)
{
    sim::PlcMemory memory;
    std::mt19937 random(7);
    while (!stop) {
        SendFrame *frame = ComCommunication();
        if (!frame) {
            std::this_thread::sleep_for(50us);
            continue;
        }
        QByteArray reply = sim::answerCommand(memory, frame->command).reply;
        if (random() % 20 == 0)
            reply[int(random() % unsigned(reply.size()))] = '?';
        DataCom(reply);
        ++exchanges;
    }
}

constexpr int setRegisterGroup = -1, onceReadGroup = 1, writeGroup = 2;

// Calls numbered 1, 2, ... in the group, at most 40 unreported at a time,
// far below the lists' 1024 entries so no request is turned away.
template <typename Queue>
int produce(const std::atomic<bool> &stop, int group, Queue queue)
{
    int calls = 0;
    while (!stop) {
        if (calls - ledger.reported(group) >= 40) {
            std::this_thread::sleep_for(50us);
            continue;
        }
        queue(++calls);
    }
    return calls;
}

TEST(ConcurrentHosts, EveryWriteAndOnceReadIsReportedOnceWithNoRaceOrDeadlock)
{
    ComInfo info{};
    info.retryLimit = 2; // protocolMode 0: a start-up exchange after every drop
    SetComInfo(&info);
    RegistCallBackFuncIntf(&onCompletion, 0);
    std::atomic<bool> stopHosts{false}, stopPolling{false};
    std::atomic<long> exchanges{0}, imageReads{0};
    int setRegisterCalls = 0, onceReads = 0, writes = 0;
    std::thread poller(pollLoop, std::cref(stopPolling), std::ref(exchanges));
    std::vector<std::thread> hosts;
    // SetRegisterData in both modes; a queued call waits for its report,
    // since all such calls share requestId 0 and group -1. A queued call is
    // of one element: the list lock is taken per element, so the poller may
    // finish the first element of a longer call before the next is queued,
    // and report the call twice, as the driver may.
    hosts.emplace_back([&] {
        std::mt19937 random(1);
        for (QString dm = QStringLiteral("DM"); !stopHosts;) {
            QByteArray data(6, char(random()));
            const bool queued = random() % 2;
            __atomic_store_n(&info.writeMode, queued ? 2 : 0, __ATOMIC_RELAXED);
            SetRegisterData(dm, 100 + int(random() % 100), 0, data, queued ? 1 : 1 + int(random() % 3));
            if (queued) {
                ASSERT_TRUE(ledger.waitFor(setRegisterGroup, ++setRegisterCalls, 30s)) << "deadlock or lost request";
            }
        }
    });
    hosts.emplace_back([&] {
        std::mt19937 random(2);
        onceReads = produce(stopHosts, onceReadGroup, [&](int id) {
            VarItem item = request("DM", int(random() % 9000), 0, id, onceReadGroup);
            item.count = 1 + int(random() % 3);
            EXPECT_GT(AddListOnceReadVar(&item), 0);
        });
    });
    hosts.emplace_back([&] {
        std::mt19937 random(3);
        writes = produce(stopHosts, writeGroup, [&](int id) {
            VarItem item = random() % 2 ? writeRequest("RLY", int(random() % 16000), QByteArray(1, char(random() % 2)), id, writeGroup)
                                        : writeRequest("TM", int(random() % 100), QByteArray(2, char(random())), id, writeGroup);
            EXPECT_GT(AddListWriteVar(&item), 0);
        });
    });
    hosts.emplace_back([&] {
        static const char *const families[] = {"RLY", "T", "C", "DM", "TM", "TV_c", "TV_p", "CV_c", "CV_p", "CTH"};
        std::mt19937 random(4);
        while (!stopHosts) {
            QList<VarDef> list;
            for (int i = int(random() % 12); i > 0; --i)
                list.append(definition(families[random() % 10], int(random() % 10), 1 + int(random() % 3)));
            ReCreatReadVarList(&list);
            VarItem item = request("CTH", int(random() % 10));
            AddListReadVar(&item);
            std::this_thread::sleep_for(200us);
        }
    });
    for (int reader = 0; reader < 2; ++reader) {
        hosts.emplace_back([&, reader] {
            std::mt19937 random(10 + reader);
            for (QByteArray data; !stopHosts; ++imageReads)
                GetRegisterData(QString::fromLatin1(random() % 2 ? "RLY" : "TV_c"), int(random() % 10000), 0, data,
                                1 + int(random() % 8));
        });
    }
    const int seconds = qEnvironmentVariableIntValue("ORDELIN_STRESS_SECONDS");
    std::this_thread::sleep_for(std::chrono::seconds(seconds > 0 ? seconds : 2));
    stopHosts = true;
    for (std::thread &host : hosts)
        host.join();
    // The poll cycle finishes what was queued.
    EXPECT_TRUE(ledger.waitFor(onceReadGroup, onceReads, 60s) && ledger.waitFor(writeGroup, writes, 60s));
    stopPolling = true;
    poller.join();

    std::lock_guard<std::mutex> lock(ledger.mutex);
    EXPECT_EQ(ledger.badStatus, 0);
    EXPECT_EQ(ledger.reports.size(), size_t(onceReads + writes + (setRegisterCalls > 0)));
    for (const auto &[key, count] : ledger.reports)
        EXPECT_EQ(count, key.second == setRegisterGroup ? setRegisterCalls : 1) << key.first << "/" << key.second;
    EXPECT_TRUE(setRegisterCalls > 0 && onceReads > 0 && writes > 0);
    std::printf("stress: %ld exchanges, %d SetRegisterData calls queued, %d once-read calls, %d writes, "
                "%ld image reads\n", exchanges.load(), setRegisterCalls, onceReads, writes, imageReads.load());
}

} // namespace
