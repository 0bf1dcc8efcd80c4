// The poll path as a host drives it: the input queues requests of any kind
// (any family name, any address, operation, requestId and data), then
// answers the frames the driver hands out with well-formed, damaged or
// arbitrary replies, and reads the image back. Start-up mode (protocolMode
// 0) and direct mode (1) both come up.
#include "fuzz_input.h"

using namespace fuzzinput;

namespace {

ComInfo info;
// The input's remaining bytes, for what the callback does.
FuzzedDataProvider *input = nullptr;

// A host may read the image and append to the cyclic list from inside the
// callback, which runs with the list lock held: neither may deadlock.
void onCompletion(int hostTag, int, int, int status)
{
    FUZZ_CHECK(hostTag == info.hostTag);
    FUZZ_CHECK(status == 1 || status == 2);
    if (!input || input->remaining_bytes() == 0)
        return;
    switch (input->ConsumeIntegralInRange(0, 3)) {
    case 0: {
        VarItem item = anyRecord(*input);
        AddListReadVar(&item);
        break;
    }
    case 1: {
        QByteArray data;
        GetRegisterData(familyName(*input), anyInt(*input), 0, data, anyCount(*input));
        break;
    }
    default:
        break;
    }
}

bool onTheWire(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == ' ' || c == '\r' || c == '\n';
}

// Where the leading address digit stands, after the command word, a space
// and the family part: past the family's range it may be any byte. Write
// frames expect the four-byte acknowledgement; the start-up frame has no
// family.
int leadingDigitAt(const SendFrame &frame)
{
    const ordelin::FamilyInfo *f = ordelin::findFamily(frame.request.registerName);
    return f ? 3 + int(qstrlen(frame.replyLength == 4 ? f->write.prefix : f->read.prefix)) : -1;
}

void checkFrame(const SendFrame &frame)
{
    FUZZ_CHECK(frame.commandLength == frame.command.size());
    const int length = frame.commandLength;
    FUZZ_CHECK(length == 4 || length == 9 || length == 10 || length == 11 || length == 15
               || length == 17);
    const int leading = leadingDigitAt(frame);
    for (int i = 0; i < length; ++i)
        FUZZ_CHECK(i == leading || onTheWire(frame.command[i]));
    FUZZ_CHECK(frame.command.endsWith('\r') || frame.command.endsWith("\r\n"));
    const int reply = frame.replyLength;
    FUZZ_CHECK(reply == 3 || reply == 4 || reply == 7 || reply == 15);
    // The value lies inside the reply, before its CR LF.
    FUZZ_CHECK(frame.valueOffset >= 0 && frame.valueWidth >= 0
               && frame.valueOffset + frame.valueWidth <= reply - 2);
    FUZZ_CHECK(frame.spare1 == 0 && frame.spare2 == 0 && frame.spare3 == 0);
}

bool validResult(int result)
{
    return result == 0 || result == 1 || (result >= 11 && result <= 22)
        || (result >= 41 && result <= 52) || (result >= 71 && result <= 82);
}

// The reply the frame expects, with its value characters from the input.
QByteArray wellFormedReply(FuzzedDataProvider &in, const SendFrame &frame)
{
    if (frame.command == "CR\r\n")
        return QByteArray("CC\r\n");
    if (frame.request.operation == 1)
        return QByteArray(in.ConsumeBool() ? "OK\r\n" : "E0\r\n");
    QByteArray reply(frame.replyLength, ' ');
    for (int i = 0; i + 2 < reply.size(); ++i)
        reply[i] = char('0' + in.ConsumeIntegralInRange(0, 9));
    reply[reply.size() - 2] = '\r';
    reply[reply.size() - 1] = '\n';
    return reply;
}

QByteArray anyReply(FuzzedDataProvider &in, const SendFrame *frame)
{
    const int kind = in.ConsumeIntegralInRange(0, 5);
    if (frame && kind <= 2)
        return wellFormedReply(in, *frame);
    if (frame && kind == 3) {
        QByteArray reply = wellFormedReply(in, *frame);
        const int at = in.ConsumeIntegralInRange(0, int(reply.size()));
        if (in.ConsumeBool())
            reply.truncate(at);
        else if (at < reply.size())
            reply[at] = char(in.ConsumeIntegral<quint8>());
        else
            reply.append(char(in.ConsumeIntegral<quint8>()));
        return reply;
    }
    return anyBytes(in, kind == 4 ? 20 : 300);
}

// A read reply whose value characters are plain decimal digits must land in
// the image exactly; a rejected reply must leave the image as it was.
struct Watched {
    QString family;
    int address = 0;
    bool inArray = false;
    bool decimal = false; // the reply's value is plain digits
    int value = 0;
    QByteArray before;
};

Watched watch(const SendFrame &frame, const QByteArray &reply)
{
    Watched w;
    w.family = frame.request.registerName;
    w.address = frame.request.address;
    const ordelin::FamilyInfo *family = ordelin::findFamily(w.family);
    w.inArray = family && ordelin::inImage(*family, w.address);
    if (!w.inArray)
        return w;
    GetRegisterData(w.family, w.address, 0, w.before, 1);
    // The frame's request decides how the reply is judged: a write-list
    // entry whose operation says read is checked as a read, but its frame
    // has no value to decode.
    if (frame.request.operation != 0 || frame.valueWidth == 0 || reply.size() != frame.replyLength)
        return w;
    int number = 0;
    for (char c : reply.mid(frame.valueOffset, frame.valueWidth)) {
        if (c < '0' || c > '9')
            return w;
        number = number * 10 + (c - '0');
    }
    w.decimal = true;
    w.value = family->isBit ? number & 1 : number & 0xFFFF;
    return w;
}

int imageValue(const QString &family, int address)
{
    QByteArray data;
    GetRegisterData(family, address, 0, data, 1);
    if (data.size() == 1)
        return quint8(data[0]) & 1;
    return quint8(data[0]) | (quint8(data[1]) << 8);
}

void exchange(FuzzedDataProvider &in)
{
    SendFrame *frame = ComCommunication();
    if (frame) {
        checkFrame(*frame);
        FUZZ_CHECK(ComCommunication() == frame);
    }
    QByteArray reply = anyReply(in, frame);
    // In start-up mode the reply is judged by the start-up check alone.
    const bool startupMode = info.startupPending == 1 && info.protocolMode == 0;
    Watched watched;
    if (frame && !startupMode)
        watched = watch(*frame, reply);
    const int result = DataCom(reply);
    FUZZ_CHECK(validResult(result));
    if (!watched.inArray)
        return;
    if (result == 1 && watched.decimal)
        FUZZ_CHECK(imageValue(watched.family, watched.address) == watched.value);
    if (result != 1) {
        QByteArray after;
        GetRegisterData(watched.family, watched.address, 0, after, 1);
        FUZZ_CHECK(after == watched.before);
    }
}

void readImageBack(FuzzedDataProvider &in)
{
    const QString family = familyName(in);
    const int address = anyInt(in);
    const int count = anyCount(in);
    QByteArray data = anyBytes(in, 4);
    const QByteArray before = data;
    FUZZ_CHECK(GetRegisterData(family, address, in.ConsumeIntegral<int>(), data, count) == 1);
    const ordelin::FamilyInfo *known = ordelin::findFamily(family);
    if (count < 1 || !known) {
        FUZZ_CHECK(data == before);
        return;
    }
    // Every element asked for, also those outside the family's array.
    FUZZ_CHECK(data.size() == qMax(before.size(), (known->isBit ? 1 : 2) * count));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider in(bytes, size);
    startHost(in, info);
    input = &in;
    if (in.ConsumeIntegralInRange(0, 7) != 0)
        RegistCallBackFuncIntf(&onCompletion, 0);

    for (int step = 0; step < 400 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 11)) {
        case 0: {
            VarItem item = anyRecord(in);
            AddListReadVar(&item);
            break;
        }
        case 1: {
            VarItem item = anyRecord(in);
            FUZZ_CHECK(AddListWriteVar(&item) <= 1024);
            break;
        }
        case 2: {
            VarItem item = anyRecord(in);
            const int size = AddListOnceReadVar(&item);
            FUZZ_CHECK(size >= 0 && size <= 1024);
            break;
        }
        case 3: {
            QString family = familyName(in);
            QByteArray data = anyBytes(in, 12);
            const int count = anyCount(in);
            SetRegisterData(family, anyInt(in), in.ConsumeIntegral<int>(), data, count);
            break;
        }
        case 4: {
            QList<VarDef> definitions;
            const int n = in.ConsumeIntegralInRange(0, 6);
            for (int i = 0; i < n; ++i) {
                // Rebuilds that expand into thousands of reads belong to the
                // producers target; here they would only slow the poll down.
                VarDef definition = anyDefinition(in);
                definition.count = qBound(-2, definition.count, 64);
                definitions.append(definition);
            }
            ReCreatReadVarList(&definitions);
            break;
        }
        case 5:
            readImageBack(in);
            break;
        case 6:
            // The host changes its settings while polling.
            info.protocolMode = in.ConsumeIntegralInRange(0, 1);
            info.retryLimit = in.ConsumeIntegralInRange(-1, 4);
            info.writeMode = in.ConsumeIntegralInRange(1, 2);
            info.hostTag = in.ConsumeIntegral<int>();
            break;
        case 7:
            SetComInfo(&info);
            break;
        default: {
            // Most steps are exchanges; a run of them lets the lists drain.
            const int turns = in.ConsumeIntegralInRange(1, 8);
            for (int t = 0; t < turns && in.remaining_bytes() > 0; ++t)
                exchange(in);
            break;
        }
        }
    }
    // Then the host stops polling: empty the cyclic list as it would.
    QList<VarDef> none;
    FUZZ_CHECK(ReCreatReadVarList(&none) == 0);
    input = nullptr;
    freshDriver();
    return 0;
}
