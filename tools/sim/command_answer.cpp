#include "command_answer.h"

#include <optional>

namespace sim {

namespace {

// Reads fixed-width fields of a command body from left to right.
class Cursor {
public:
    explicit Cursor(const QByteArray &text) : text(text) {}

    bool take(const char *literal)
    {
        const QByteArray wanted(literal);
        if (text.mid(pos, wanted.size()) != wanted)
            return false;
        pos += wanted.size();
        return true;
    }

    // Exactly `width` decimal digits; a letter in their place (the driver
    // writes one for an address beyond a family's range) is no number.
    std::optional<int> number(int width)
    {
        if (pos + width > text.size())
            return std::nullopt;
        int value = 0;
        for (int i = 0; i < width; ++i) {
            const char c = text[pos + i];
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        pos += width;
        return value;
    }

    // Three channel digits and two bit digits, as channel * 16 + bit.
    std::optional<int> relayAddress()
    {
        const auto channel = number(3);
        const auto bit = number(2);
        if (!channel || !bit || *bit > 15)
            return std::nullopt;
        return *channel * 16 + *bit;
    }

    bool atEnd() const { return pos == text.size(); }

private:
    const QByteArray &text;
    int pos = 0;
};

QByteArray fiveDigits(quint16 value)
{
    return QByteArray::number(value).rightJustified(5, '0');
}

const QByteArray lineEnd("\r\n");

Answer malformed()
{
    return {errorReply(), CommandKind::Malformed};
}

template <class Array>
typename Array::value_type *cell(Array &array, std::optional<int> address)
{
    return address && *address >= 0 && *address < int(array.size()) ? &array[size_t(*address)]
                                                                     : nullptr;
}

// Contact state, current value and preset in one 15-byte reply.
template <int N>
std::optional<QByteArray> blockReply(const CounterBlock<N> &block, std::optional<int> index)
{
    if (!index || *index < 0 || *index >= N)
        return std::nullopt;
    const size_t i = size_t(*index);
    return QByteArray(1, char('0' + (block.contact[i] & 1))) + ',' + fiveDigits(block.current[i])
         + ',' + fiveDigits(block.preset[i]) + lineEnd;
}

std::optional<QByteArray> wordReply(const quint16 *word)
{
    if (!word)
        return std::nullopt;
    return fiveDigits(*word) + lineEnd;
}

std::optional<QByteArray> readReply(PlcMemory &memory, Cursor &body)
{
    if (body.take("DM"))
        return wordReply(cell(memory.dm, body.number(4)));
    if (body.take("TM"))
        return wordReply(cell(memory.tm, body.number(2)));
    if (body.take("CTH"))
        return blockReply(memory.highSpeed, body.number(1));
    if (body.take("T"))
        return blockReply(memory.timers, body.number(3));
    if (body.take("C"))
        return blockReply(memory.counters, body.number(3));
    const quint8 *relay = cell(memory.relays, body.relayAddress());
    if (!relay)
        return std::nullopt;
    return QByteArray(1, char('0' + (*relay & 1))) + lineEnd;
}

// "WR" writes current values and plain words, "WS" writes presets.
quint16 *wordTarget(PlcMemory &memory, Cursor &body, bool preset)
{
    if (preset) {
        if (body.take("T"))
            return cell(memory.timers.preset, body.number(3));
        if (body.take("C"))
            return cell(memory.counters.preset, body.number(3));
        return nullptr;
    }
    if (body.take("DM"))
        return cell(memory.dm, body.number(4));
    if (body.take("TM"))
        return cell(memory.tm, body.number(2));
    if (body.take("CTH"))
        return cell(memory.highSpeed.current, body.number(1));
    if (body.take("T"))
        return cell(memory.timers.current, body.number(3));
    if (body.take("C"))
        return cell(memory.counters.current, body.number(3));
    return nullptr;
}

// Timer and counter contacts are addressed with relay-like digits.
quint8 *bitTarget(PlcMemory &memory, Cursor &body)
{
    if (body.take("T"))
        return cell(memory.timers.contact, body.relayAddress());
    if (body.take("C"))
        return cell(memory.counters.contact, body.relayAddress());
    return cell(memory.relays, body.relayAddress());
}

Answer read(PlcMemory &memory, const QByteArray &text)
{
    Cursor body(text);
    const auto reply = readReply(memory, body);
    if (!reply || !body.atEnd())
        return malformed();
    return {*reply, CommandKind::Read};
}

Answer writeWord(PlcMemory &memory, const QByteArray &text, bool preset)
{
    Cursor body(text);
    quint16 *target = wordTarget(memory, body, preset);
    const bool separated = body.take(" ");
    const auto value = body.number(5);
    if (!target || !separated || !value || *value > 0xFFFF || !body.atEnd())
        return malformed();
    *target = quint16(*value);
    return {QByteArrayLiteral("OK\r\n"), CommandKind::Write};
}

Answer writeBit(PlcMemory &memory, const QByteArray &text, quint8 state)
{
    Cursor body(text);
    quint8 *target = bitTarget(memory, body);
    if (!target || !body.atEnd())
        return malformed();
    *target = state;
    return {QByteArrayLiteral("OK\r\n"), CommandKind::Write};
}

} // namespace

QByteArray errorReply()
{
    return QByteArrayLiteral("E1\r\n");
}

Answer answerCommand(PlcMemory &memory, const QByteArray &frame)
{
    if (frame == "CR\r\n")
        return {QByteArrayLiteral("CC\r\n"), CommandKind::Startup};
    const QByteArray head = frame.left(3);
    if (frame.size() > 5 && frame.endsWith(lineEnd)) {
        const QByteArray body = frame.mid(3, frame.size() - 5);
        if (head == "RD ")
            return read(memory, body);
        if (head == "WR " || head == "WS ")
            return writeWord(memory, body, head == "WS ");
    } else if (frame.size() > 4 && frame.endsWith('\r')) {
        const QByteArray body = frame.mid(3, frame.size() - 4);
        if (head == "ST " || head == "RS ")
            return writeBit(memory, body, head == "ST " ? 1 : 0);
    }
    return malformed();
}

} // namespace sim
