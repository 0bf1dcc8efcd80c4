// The request producers with arbitrary records: once-reads, writes through
// both SetRegisterData modes and AddListWriteVar, and rebuilds of the cyclic
// list from any definitions, huge counts included. Between them the line
// may fail (a dropped batch marks the link down, which changes the write
// path) or come back.
#include "fuzz_input.h"

using namespace fuzzinput;

namespace {

constexpr int listCapacity = 1024;

ComInfo info;

void onceRead(FuzzedDataProvider &in)
{
    VarItem item = anyRecord(in);
    const VarItem before = item;
    const int size = AddListOnceReadVar(&item);
    FUZZ_CHECK(size >= 0 && size <= listCapacity);
    // A text that reads as a negative address queues nothing and leaves
    // the record as it was.
    if (size == 0 && before.count >= 1) {
        FUZZ_CHECK(item.address == before.address && item.station == before.station
                   && item.count == before.count);
    }
    FUZZ_CHECK(item.registerName == before.registerName && item.data == before.data);
}

// Image-only writes land in the image at once: every element inside the
// family's array reads back as written.
void storeInImage(FuzzedDataProvider &in)
{
    info.writeMode = in.ConsumeIntegralInRange(0, 7) == 2 ? 3 : in.ConsumeIntegralInRange(0, 1);
    QString family = familyName(in);
    const int address = anyInt(in);
    const int count = anyCount(in);
    QByteArray data = anyBytes(in, 40);
    const QByteArray sent = data;
    FUZZ_CHECK(SetRegisterData(family, address, in.ConsumeIntegral<int>(), data, count) == 1);
    FUZZ_CHECK(data == sent);

    const ordelin::FamilyInfo *known = ordelin::findFamily(family);
    if (!known)
        return;
    const int width = known->isBit ? 1 : 2;
    const int stored = qMin(count, data.size() / width);
    for (int i = 0; i < qMin(stored, 64); ++i) {
        const qint64 at = qint64(address) + i;
        if (!ordelin::inImage(*known, at))
            continue;
        QByteArray back;
        GetRegisterData(family, int(at), 0, back, 1);
        if (known->isBit)
            FUZZ_CHECK((back[0] & 1) == (data[i] & 1));
        else
            FUZZ_CHECK(back == data.mid(2 * i, 2));
    }
}

void queueWrites(FuzzedDataProvider &in)
{
    info.writeMode = 2;
    QString family = familyName(in);
    const int address = anyInt(in);
    const int count = anyCount(in);
    QByteArray data = anyBytes(in, 40);
    const int result = SetRegisterData(family, address, in.ConsumeIntegral<int>(), data, count);
    FUZZ_CHECK(result >= 0 && result <= listCapacity);
    if (!ordelin::findFamily(family) || count < 1)
        FUZZ_CHECK(result == 0);
}

void rebuild(FuzzedDataProvider &in)
{
    QList<VarDef> definitions;
    const int n = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < n; ++i)
        definitions.append(anyDefinition(in));
    const int size = ReCreatReadVarList(&definitions);
    FUZZ_CHECK(size >= 0);
    // Empty for an empty list; never more than the definitions expand to.
    qint64 most = 0;
    for (const VarDef &definition : definitions) {
        if (const ordelin::FamilyInfo *known = ordelin::findFamily(definition.registerName))
            most += qMax(1, definition.count);
    }
    FUZZ_CHECK(size <= most);
    if (n == 0)
        FUZZ_CHECK(size == 0);
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
    QByteArray reply;
    if (!fails) {
        if (frame->command == "CR\r\n")
            reply = "CC\r\n";
        else if (frame->request.operation == 1)
            reply = "OK\r\n";
        else
            reply = QByteArray(frame->replyLength - 2, '1') + "\r\n";
    }
    DataCom(reply);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider in(bytes, size);
    startHost(in, info);
    for (int step = 0; step < 200 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 6)) {
        case 0: onceRead(in); break;
        case 1: storeInImage(in); break;
        case 2: queueWrites(in); break;
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
            break;
        }
    }
    freshDriver();
    return 0;
}
