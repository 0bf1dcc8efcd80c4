// A long conversation with a PLC on a bad line. The simulator serves a
// pseudo-terminal and leaves out, garbles, cuts short or refuses ("E1")
// about 20 % of its replies; a host loop polls a read list through the
// driver and queues writes as it goes. What must hold:
//  - every write is reported exactly once, and the PLC holds at each written
//    address the last write reported answered, or a later dropped one (its
//    acknowledgement lost on the way back);
//  - after every dropped batch the next frame is the start-up exchange;
//  - once the faults stop, one clean pass over the read list makes the image
//    equal to the PLC's memory at every polled address.
// ORDELIN_SOAK_EXCHANGES sets the length; scripts/soak.sh runs the long one.
#include "e2e/pty_client.h"
#include "support/host.h"

#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using namespace testhost;

namespace {

// A reply not complete this long after its command counts as all there is;
// its late bytes start the next reply, one more fault to survive. On the
// clean line a busy machine must not turn into a fault, so the wait is long.
constexpr int faultyLineTimeoutMs = 25, cleanLineTimeoutMs = 5000;
constexpr int writeGroup = 7;

struct Write {
    const char *family;
    int address, value, status = 0, reports = 0;
};
std::vector<Write> writes; // by requestId

void onCompletion(int, int requestId, int requestGroup, int status)
{
    ASSERT_TRUE(requestGroup == writeGroup && requestId >= 0 && requestId < int(writes.size()));
    ++writes[size_t(requestId)].reports;
    writes[size_t(requestId)].status = status;
}

// Each write goes to an address with no write waiting, with a new value.
void maybeQueueWrite(std::mt19937 &random)
{
    const bool relay = random() % 2;
    const Write write{relay ? "RLY" : "DM", relay ? 16 + int(random() % 128) : 1 + int(random() % 300),
                      relay ? int(random() % 2) : int(writes.size() % 65536)};
    for (const Write &w : writes) {
        if (w.reports == 0 && std::string(w.family) == write.family && w.address == write.address)
            return;
    }
    VarItem item = writeRequest(write.family, write.address, QByteArray(1, char(write.value)) + char(write.value >> 8),
                                int(writes.size()), writeGroup);
    writes.push_back(write);
    AddListWriteVar(&item);
}

struct Tally {
    long exchanges = 0, rejected = 0, drops = 0, cyclicAccepted = 0;
    bool awaitingStartup = false;
};

void turn(e2e::PtyClient &port, int timeoutMs, Tally &tally)
{
    SendFrame *frame = ComCommunication();
    if (!frame)
        return;
    const bool startup = frame->command == "CR\r\n";
    const bool cyclic = !startup && frame->request.requestGroup == -1; // the frame ends with DataCom
    EXPECT_TRUE(startup || !tally.awaitingStartup) << "after a drop: " << frame->command.constData();
    QByteArray reply = port.ask(frame->command, frame->replyLength, timeoutMs);
    const int result = DataCom(reply);
    ++tally.exchanges;
    tally.awaitingStartup = (tally.awaitingStartup && !(startup && result == 1)) || result >= 11;
    tally.drops += result >= 11;
    tally.rejected += result != 1;
    tally.cyclicAccepted += result == 1 && cyclic;
}

std::shared_ptr<sim::Simulator> startSimulator(double faultRate)
{
    sim::SimConfig config;
    config.faults.noReply = config.faults.garble = config.faults.truncate = config.faults.error = faultRate;
    config.seed = 20;
    config.scanMs = 60000; // the scan program stays still during the run
    auto device = sim::openPseudoTerminal();
    if (!device.ok())
        return nullptr;
    auto started = sim::Simulator::start(config, device.value());
    return started.ok() ? started.value() : nullptr;
}

TEST(FaultSoak, NoWriteLostUnreportedAndTheImageMatchesThePlcOnceTheLineIsClean)
{
    Host host(/*protocolMode*/ 0, /*retryLimit*/ 3);
    RegistCallBackFuncIntf(&onCompletion, 0);
    // Addresses the simulator's scan program leaves alone.
    QList<VarDef> definitions{definition("RLY", 16, 128), definition("T", 10, 20), definition("C", 10, 20),
                              definition("DM", 1, 300), definition("TM", 0, 50), definition("TV_c", 10, 10),
                              definition("TV_p", 10, 10), definition("CV_c", 10, 10), definition("CV_p", 10, 10),
                              definition("CTH", 0, 10)};
    const int polled = ReCreatReadVarList(&definitions);
    auto faulty = startSimulator(0.055); // four kinds: about 20 % of replies hit
    ASSERT_TRUE(faulty);
    Tally tally;
    const long exchanges = qEnvironmentVariableIsSet("ORDELIN_SOAK_EXCHANGES") ? qEnvironmentVariableIntValue("ORDELIN_SOAK_EXCHANGES") : 3000;
    std::mt19937 random(11);
    {
        e2e::PtyClient port(faulty->portName());
        ASSERT_TRUE(port.isOpen());
        auto waiting = [] { return std::count_if(writes.begin(), writes.end(), [](const Write &w) { return !w.reports; }); };
        while (tally.exchanges < exchanges || (waiting() > 0 && tally.exchanges < exchanges + 20000)) {
            if (tally.exchanges % 3 == 0 && tally.exchanges < exchanges * 9 / 10 && waiting() < 40)
                maybeQueueWrite(random);
            turn(port, faultyLineTimeoutMs, tally);
        }
    }
    faulty->stop();
    const sim::PlcMemory memory = faulty->inspect([](sim::SimEngine &e) { return e.memory(); });
    std::map<std::pair<std::string, int>, std::vector<int>> allowed; // values each address may hold
    int confirmed = 0;
    for (const Write &w : writes) {
        EXPECT_EQ(w.reports, 1) << w.family << w.address;
        std::vector<int> &values = allowed.try_emplace({w.family, w.address}, std::vector<int>{0}).first->second;
        if (w.status == 1)
            values.assign(1, w.value);
        else
            values.push_back(w.value);
        confirmed += w.status == 1;
    }
    for (const auto &[key, values] : allowed) {
        const int actual = *sim::valueOf(memory, QString::fromStdString(key.first), key.second);
        EXPECT_NE(std::find(values.begin(), values.end(), actual), values.end()) << key.first << key.second << " holds " << actual;
    }

    // The faults stop: the same PLC memory behind a clean line.
    auto clean = startSimulator(0);
    ASSERT_TRUE(clean);
    clean->inspect([&](sim::SimEngine &e) { e.memory() = memory; return 0; });
    const long rejectedBefore = tally.rejected;
    tally.cyclicAccepted = 0;
    {
        e2e::PtyClient port(clean->portName());
        while (port.isOpen() && tally.cyclicAccepted < polled && tally.rejected == rejectedBefore)
            turn(port, cleanLineTimeoutMs, tally);
    }
    clean->stop();
    EXPECT_EQ(tally.rejected, rejectedBefore) << "a reply on the clean line was rejected";
    int mismatches = 0;
    for (const VarDef &d : definitions) {
        for (int address = d.address; address < d.address + d.count; ++address) {
            const QByteArray data = image(qPrintable(d.registerName), address, 1);
            const int value = data.size() == 1 ? data[0] & 1 : quint8(data[0]) | quint8(data[1]) << 8;
            mismatches += value != *sim::valueOf(memory, d.registerName, address);
        }
    }
    EXPECT_EQ(mismatches, 0);
    std::printf("soak: %ld exchanges, %ld replies rejected, %ld batches dropped, %zu writes (%d confirmed), "
                "image equal to the PLC at %d polled addresses\n",
                tally.exchanges, tally.rejected, tally.drops, writes.size(), confirmed, polled);
}

} // namespace
