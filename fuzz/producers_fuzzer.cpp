// The request producers with arbitrary records: once-reads, writes through
// both SetRegisterData modes and AddListWriteVar, and rebuilds of the cyclic
// list from any definitions. Between them the line may fail (a dropped batch
// marks the link down, which changes the write path) or come back.
#include "fuzz_input.h"

using namespace fuzzinput;

namespace {

constexpr int listCapacity = 1024;
ComInfo info;

// A text that reads as a negative address queues nothing and leaves the
// record as it was; the name and data are never touched.
void onceRead(FuzzedDataProvider &in)
{
    VarItem item = anyRecord(in);
    const VarItem before = item;
    const int size = AddListOnceReadVar(&item);
    FUZZ_CHECK(size >= 0 && size <= listCapacity);
    if (size == 0 && before.count >= 1)
        FUZZ_CHECK(item.address == before.address && item.station == before.station && item.count == before.count);
    FUZZ_CHECK(item.registerName == before.registerName && item.data == before.data);
}

// Image-only writes (any writeMode but 2) read back as written inside the
// family's array; queued writes return the write list's size, 0 for
// nothing queued.
void setRegister(FuzzedDataProvider &in, bool queued)
{
    info.writeMode = queued ? 2 : in.ConsumeIntegralInRange(0, 7) == 2 ? 3 : in.ConsumeIntegralInRange(0, 1);
    QString family = familyName(in);
    const int address = anyInt(in), count = anyCount(in);
    QByteArray data = anyBytes(in, longestData);
    const QByteArray sent = data;
    const int result = SetRegisterData(family, address, in.ConsumeIntegral<int>(), data, count);
    const ordelin::FamilyInfo *known = ordelin::findFamily(family);
    FUZZ_CHECK(data == sent);
    if (queued) {
        FUZZ_CHECK(result >= 0 && result <= listCapacity && (result == 0 || (known && count >= 1)));
        return;
    }
    FUZZ_CHECK(result == 1);
    const int width = known && known->isBit ? 1 : 2;
    for (int i = 0; known && i < qMin(count, data.size() / width); ++i) {
        const qint64 at = qint64(address) + i;
        QByteArray back;
        if (ordelin::inImage(*known, at) && GetRegisterData(family, int(at), 0, back, 1))
            FUZZ_CHECK(width == 1 ? (back[0] & 1) == (data[i] & 1) : back == data.mid(2 * i, 2));
    }
}

// Never more entries than the definitions expand to; empty for none.
void rebuild(FuzzedDataProvider &in)
{
    QList<VarDef> definitions = anyDefinitions(in);
    const int size = ReCreatReadVarList(&definitions);
    qint64 most = 0;
    for (const VarDef &definition : definitions)
        most += ordelin::findFamily(definition.registerName) ? qMax(1, definition.count) : 0;
    FUZZ_CHECK(size >= 0 && size <= most);
}

// One exchange with a silent line (retryLimit 0 drops the batch at once and
// marks the link down) or with a good one.
void lineTurn(FuzzedDataProvider &in)
{
    const bool fails = in.ConsumeBool();
    info.retryLimit = 0;
    SendFrame *frame = ComCommunication();
    if (!frame)
        return;
    QByteArray reply = fails ? QByteArray()
                     : frame->command == "CR\r\n" ? QByteArray("CC\r\n")
                     : frame->request.operation == 1 ? QByteArray("OK\r\n")
                                                     : QByteArray(frame->replyLength - 2, '1') + "\r\n";
    DataCom(reply);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider in(bytes, size);
    startHost(in, info);
    for (int step = 0; step < stepsPerInput && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 6)) {
        case 0: onceRead(in); break;
        case 1: setRegister(in, false); break;
        case 2: setRegister(in, true); break;
        case 3: {
            VarItem item = anyRecord(in);
            const int size = AddListWriteVar(&item);
            FUZZ_CHECK(size >= 1 && size <= listCapacity);
            break;
        }
        case 4: rebuild(in); break;
        case 5: lineTurn(in); break;
        default:
            info.perRequestStation = in.ConsumeIntegralInRange(0, 1);
            info.defaultStation = in.ConsumeIntegral<int>();
        }
    }
    freshDriver();
    return 0;
}
