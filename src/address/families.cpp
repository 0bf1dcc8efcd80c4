#include "families.h"

namespace ordelin {

namespace {

using D = AddressDigits;

const char *const timerGroupZh = "地址格式:ddd, 范围:0~999";
const char *const timerGroupEn = "Address Format:ddd, range:0~999";

// Read replies: a relay answers one state character; timers, counters and
// high-speed counters answer 15 bytes (state at 0, current value at 2..6,
// preset at 8..12); DM and TM answer five digits. All end in CR LF.
const FamilyInfo table[familyCount] = {
    {Family::Relay, "RLY", true, 16000,
     {"", D::RelayChannelBit, 3, 0, 1}, {nullptr, "", D::RelayChannelBit},
     {15999, "99915", 99916}, 15999,
     "地址格式:dddDD, 范围:0~99915", "Address Format:dddDD, range:0~99915"},
    {Family::TimerContact, "T", true, 1000,
     {"T", D::Three, 15, 0, 1}, {nullptr, "T", D::RelayChannelBit},
     {255, "255", 256}, 999, timerGroupZh, timerGroupEn},
    {Family::CounterContact, "C", true, 1000,
     {"C", D::Three, 15, 0, 1}, {nullptr, "C", D::RelayChannelBit},
     {255, "255", 256}, 999, timerGroupZh, timerGroupEn},
    {Family::DataMemory, "DM", false, 10000,
     {"DM", D::Four, 7, 0, 5}, {"WR", "DM", D::Four},
     {9999, "9999", 10000}, 9999,
     "地址格式:dddd, 范围:0~9999", "Address Format:dddd, range:0~9999"},
    {Family::TempMemory, "TM", false, 100,
     {"TM", D::Two, 7, 0, 5}, {"WR", "TM", D::Two},
     {99, "99", 100}, 99,
     "地址格式:dd, 范围:0~99", "Address Format:dd, range:0~99"},
    {Family::TimerCurrent, "TV_c", false, 1000,
     {"T", D::Three, 15, 2, 5}, {"WR", "T", D::Three},
     {255, "255", 256}, 999, timerGroupZh, timerGroupEn},
    {Family::TimerPreset, "TV_p", false, 1000,
     {"T", D::Three, 15, 8, 5}, {"WS", "T", D::Three},
     {255, "255", 256}, 999, timerGroupZh, timerGroupEn},
    {Family::CounterCurrent, "CV_c", false, 1000,
     {"C", D::Three, 15, 2, 5}, {"WR", "C", D::Three},
     {255, "255", 256}, 999, timerGroupZh, timerGroupEn},
    {Family::CounterPreset, "CV_p", false, 1000,
     {"C", D::Three, 15, 8, 5}, {"WS", "C", D::Three},
     {255, "255", 256}, 999, timerGroupZh, timerGroupEn},
    {Family::HighSpeedCounter, "CTH", false, 10,
     {"CTH", D::LastOne, 15, 2, 5}, {"WR", "CTH", D::LastOne},
     {9, "9", 10}, 9,
     "地址格式:d, 范围:0~9", "Address Format:d, range:0~9"},
};

} // namespace

const FamilyInfo *findFamily(const QString &name)
{
    for (const FamilyInfo &info : table) {
        if (name == QLatin1String(info.name))
            return &info;
    }
    return nullptr;
}

const FamilyInfo &familyInfo(Family family)
{
    return table[static_cast<int>(family)];
}

} // namespace ordelin
