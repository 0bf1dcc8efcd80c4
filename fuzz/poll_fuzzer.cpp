// The poll path as a host drives it: the input queues requests of any kind
// (any family name, address, operation, requestId and data), answers the
// frames the driver hands out with well-formed, damaged or arbitrary
// replies, changes its settings while polling and reads the image back.
#include "fuzz_input.h"

using namespace fuzzinput;

namespace {

ComInfo info;
FuzzedDataProvider *input = nullptr; // the rest of the input, for the callback

// A host may read the image and append to the cyclic list from inside the
// callback, which runs with the list lock held: neither may deadlock.
void onCompletion(int hostTag, int, int, int status)
{
    FUZZ_CHECK(hostTag == info.hostTag && (status == 1 || status == 2));
    if (!input || input->remaining_bytes() == 0)
        return;
    VarItem item = anyRecord(*input);
    QByteArray data;
    if (input->ConsumeBool())
        AddListReadVar(&item);
    else
        GetRegisterData(item.registerName, item.address, 0, data, item.count);
}

// Every byte of a frame is a digit, a capital, a space or a line end, but
// for the leading address digit, which past "Z" may be any byte; the value
// lies inside the reply, before its CR LF.
void checkFrame(const SendFrame &frame)
{
    FUZZ_CHECK(frame.commandLength == frame.command.size());
    const ordelin::FamilyInfo *f = ordelin::findFamily(frame.request.registerName);
    const int leading = f ? 3 + int(qstrlen(frame.replyLength == 4 ? f->write.prefix : f->read.prefix)) : -1;
    for (int i = 0; i < frame.commandLength; ++i) {
        const char c = frame.command[i];
        FUZZ_CHECK(i == leading || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == ' ' || c == '\r' || c == '\n');
    }
    FUZZ_CHECK(frame.command.endsWith('\r') || frame.command.endsWith("\r\n"));
    const int reply = frame.replyLength;
    FUZZ_CHECK(reply == 3 || reply == 4 || reply == 7 || reply == 15);
    FUZZ_CHECK(frame.valueOffset >= 0 && frame.valueWidth >= 0 && frame.valueOffset + frame.valueWidth <= reply - 2);
    FUZZ_CHECK(frame.spare1 == 0 && frame.spare2 == 0 && frame.spare3 == 0);
}

// The reply the frame expects, value digits from the input, sometimes with
// one byte changed, cut short or added; or any bytes.
QByteArray anyReply(FuzzedDataProvider &in, const SendFrame *frame)
{
    const int kind = in.ConsumeIntegralInRange(0, 5);
    if (!frame || kind >= 4)
        return anyBytes(in, kind == 4 ? 20 : 300);
    QByteArray reply = frame->command == "CR\r\n" ? QByteArray("CC\r\n")
                     : frame->request.operation == 1 ? QByteArray(in.ConsumeBool() ? "OK\r\n" : "E0\r\n")
                                                     : QByteArray(frame->replyLength - 2, '0') + "\r\n";
    for (int i = 0; frame->request.operation == 0 && i + 2 < reply.size(); ++i)
        reply[i] = char('0' + in.ConsumeIntegralInRange(0, 9));
    const int at = in.ConsumeIntegralInRange(0, int(reply.size()));
    if (kind == 3 && in.ConsumeBool())
        reply.truncate(at);
    else if (kind == 3)
        at < reply.size() ? void(reply[at] = char(in.ConsumeIntegral<quint8>())) : void(reply.append('\0'));
    return reply;
}

int imageValue(const QString &family, int address)
{
    QByteArray data;
    GetRegisterData(family, address, 0, data, 1);
    return data.size() == 1 ? quint8(data[0]) & 1 : quint8(data[0]) | (quint8(data[1]) << 8);
}

// A read reply whose value is plain decimal digits lands in the image
// exactly; a rejected reply leaves the image as it was.
void exchange(FuzzedDataProvider &in)
{
    SendFrame *frame = ComCommunication();
    if (frame) {
        checkFrame(*frame);
        FUZZ_CHECK(ComCommunication() == frame);
    }
    QByteArray reply = anyReply(in, frame);
    const bool startupMode = info.startupPending == 1 && info.protocolMode == 0;
    const ordelin::FamilyInfo *family = frame && !startupMode ? ordelin::findFamily(frame->request.registerName) : nullptr;
    const bool watched = family && ordelin::inImage(*family, frame->request.address);
    const QString name = watched ? frame->request.registerName : QString();
    const int address = watched ? frame->request.address : 0;
    const int before = watched ? imageValue(name, address) : 0;
    bool decimal = watched && frame->request.operation == 0 && frame->valueWidth > 0 && reply.size() == frame->replyLength;
    int value = 0;
    for (int i = 0; decimal && i < frame->valueWidth; ++i) {
        const char c = reply[frame->valueOffset + i];
        decimal = c >= '0' && c <= '9';
        value = value * 10 + (c - '0');
    }
    const int result = DataCom(reply);
    FUZZ_CHECK(result == 0 || result == 1 || (result >= 11 && result <= 22) || (result >= 41 && result <= 52)
               || (result >= 71 && result <= 82));
    if (watched && result == 1 && decimal)
        FUZZ_CHECK(imageValue(name, address) == (family->isBit ? value & 1 : value & 0xFFFF));
    if (watched && result != 1)
        FUZZ_CHECK(imageValue(name, address) == before);
}

// Every element asked for, also those outside the family's array.
void readImageBack(FuzzedDataProvider &in)
{
    const QString family = familyName(in);
    const int count = anyCount(in);
    QByteArray data = anyBytes(in, 4);
    const QByteArray before = data;
    FUZZ_CHECK(GetRegisterData(family, anyInt(in), in.ConsumeIntegral<int>(), data, count) == 1);
    const ordelin::FamilyInfo *known = ordelin::findFamily(family);
    FUZZ_CHECK(count < 1 || !known ? data == before : data.size() == qMax(before.size(), (known->isBit ? 1 : 2) * count));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider in(bytes, size);
    startHost(in, info);
    input = &in;
    if (in.ConsumeIntegralInRange(0, 7) != 0)
        RegistCallBackFuncIntf(&onCompletion, 0);
    for (int step = 0; step < 2 * stepsPerInput && in.remaining_bytes() > 0; ++step) {
        const int call = in.ConsumeIntegralInRange(0, 11);
        VarItem item = call <= 3 ? anyRecord(in) : VarItem{};
        switch (call) {
        case 0: AddListReadVar(&item); break;
        case 1: FUZZ_CHECK(AddListWriteVar(&item) <= 1024); break;
        case 2: FUZZ_CHECK(AddListOnceReadVar(&item) <= 1024); break;
        case 3: SetRegisterData(item.registerName, item.address, item.station, item.data, item.count); break;
        case 4: {
            QList<VarDef> definitions = anyDefinitions(in);
            ReCreatReadVarList(&definitions);
            break;
        }
        case 5: readImageBack(in); break;
        case 6: // the host changes its settings while polling
            info.protocolMode = in.ConsumeIntegralInRange(0, 1);
            info.retryLimit = in.ConsumeIntegralInRange(-1, 4);
            info.writeMode = in.ConsumeIntegralInRange(1, 2);
            info.hostTag = in.ConsumeIntegral<int>();
            break;
        case 7: SetComInfo(&info); break;
        default: // most steps are exchanges; a run of them lets the lists drain
            for (int t = in.ConsumeIntegralInRange(1, 8); t > 0 && in.remaining_bytes() > 0; --t)
                exchange(in);
        }
    }
    QList<VarDef> none; // the host stops polling and empties the cyclic list
    FUZZ_CHECK(ReCreatReadVarList(&none) == 0);
    input = nullptr;
    freshDriver();
    return 0;
}
