// A small PLC for tests: a table of memory that answers the commands the
// driver sends in the reply forms its decoders expect.
#ifndef ORDELIN_TESTS_SUPPORT_RESPONDER_H
#define ORDELIN_TESTS_SUPPORT_RESPONDER_H

#include "ordelin/ordelin.h"

#include <cstdio>
#include <map>
#include <string>

namespace testhost {

class Responder {
public:
    // Keys: "RLY<n>", "T<n>"/"C<n>" contacts, "TV<n>"/"TP<n>" timer current
    // and preset, "CV<n>"/"CP<n>" counter current and preset, "DM<n>",
    // "TM<n>", "CTH<n>".
    std::map<std::string, int> memory;
    int commands = 0;

    int &at(const std::string &area, int address) { return memory[area + std::to_string(address)]; }

    QByteArray answer(const QByteArray &command)
    {
        ++commands;
        const std::string text = command.toStdString();
        if (text == "CR\r\n")
            return "CC\r\n";
        if (text.compare(0, 3, "RD ") == 0)
            return read(text.substr(3, text.size() - 5));
        if (text.compare(0, 3, "ST ") == 0 || text.compare(0, 3, "RS ") == 0)
            return setBit(text.substr(3, text.size() - 4), text[0] == 'S');
        if (text.compare(0, 3, "WR ") == 0 || text.compare(0, 3, "WS ") == 0)
            return writeWord(text.substr(3, text.size() - 5), text[1] == 'S');
        return "E1\r\n";
    }

private:
    static int number(const std::string &digits) { return std::stoi(digits); }

    QByteArray read(const std::string &part)
    {
        char reply[32];
        if (part.compare(0, 3, "CTH") == 0) {
            std::snprintf(reply, sizeof reply, "0 %05d 00000\r\n", at("CTH", number(part.substr(3))));
        } else if (part.compare(0, 2, "DM") == 0 || part.compare(0, 2, "TM") == 0) {
            std::snprintf(reply, sizeof reply, "%05d\r\n", at(part.substr(0, 2), number(part.substr(2))));
        } else if (part[0] == 'T' || part[0] == 'C') {
            const std::string kind(1, part[0]);
            const int n = number(part.substr(1));
            std::snprintf(reply, sizeof reply, "%d %05d %05d\r\n", at(kind, n) & 1,
                          at(kind + "V", n), at(kind == "T" ? "TP" : "CP", n));
        } else {
            const int relay = number(part.substr(0, 3)) * 16 + number(part.substr(3, 2));
            std::snprintf(reply, sizeof reply, "%d\r\n", at("RLY", relay) & 1);
        }
        return QByteArray(reply);
    }

    QByteArray setBit(const std::string &part, bool on)
    {
        std::string area = "RLY";
        std::string digits = part;
        if (part[0] == 'T' || part[0] == 'C') {
            area = part.substr(0, 1);
            digits = part.substr(1);
        }
        const int address = number(digits.substr(0, 3)) * 16 + number(digits.substr(3, 2));
        at(area, address) = on ? 1 : 0;
        return "OK\r\n";
    }

    QByteArray writeWord(const std::string &part, bool preset)
    {
        const size_t space = part.find(' ');
        const std::string target = part.substr(0, space);
        const int value = number(part.substr(space + 1));
        std::string area;
        size_t digitsAt = 1;
        if (target.compare(0, 3, "CTH") == 0) {
            area = "CTH";
            digitsAt = 3;
        } else if (target.compare(0, 2, "DM") == 0 || target.compare(0, 2, "TM") == 0) {
            area = target.substr(0, 2);
            digitsAt = 2;
        } else {
            area = target.substr(0, 1) + (preset ? "P" : "V");
        }
        at(area, number(target.substr(digitsAt))) = value;
        return "OK\r\n";
    }
};

// One exchange as a host runs it; returns DataCom's result, or -1 when the
// driver had nothing to send.
inline int exchange(Responder &plc)
{
    SendFrame *frame = ComCommunication();
    if (!frame)
        return -1;
    QByteArray reply = plc.answer(frame->command);
    return DataCom(reply);
}

} // namespace testhost

#endif
