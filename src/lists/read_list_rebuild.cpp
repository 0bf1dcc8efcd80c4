// ReCreatReadVarList: the host's variable definitions become the cyclic read
// list, one single-element read per distinct address, grouped by family in
// the table's order and sorted by address within each family. This order is
// the order the PLC is polled in.
#include "core/count_ceiling.h"
#include "core/settings.h"

#include <algorithm>
#include <array>
#include <vector>

using namespace ordelin;

namespace {

using FamilyLists = std::array<std::vector<VarItem>, familyCount>;

void splitIntoFamilies(const QList<VarDef> &definitions, FamilyLists &families)
{
    VarItem work = driverRequest(0);
    for (const VarDef &definition : definitions) {
        const FamilyInfo *info = findFamily(definition.registerName);
        if (!info)
            continue;
        work.address = definition.address;
        // Split also past the family's array, as the host asked; the read
        // encoder decides what such an address sends.
        work.count = boundedCount(definition.count);
        work.registerName = definition.registerName;
        work.addressText = definition.addressText;
        work.station = setting(&ComInfo::defaultStation);
        std::vector<VarItem> &list = families[size_t(info->family)];
        appendSplit(work, [&list](const VarItem &item) { list.push_back(item); });
    }
}

// Stable, so among equal addresses the host's order decides which entry
// survives the de-duplication below. Definitions usually come in address
// order, and a run is split in order, so most lists need no sort at all.
void sortByAddress(std::vector<VarItem> &list)
{
    const auto byAddress = [](const VarItem &a, const VarItem &b) { return a.address < b.address; };
    if (!std::is_sorted(list.begin(), list.end(), byAddress))
        std::stable_sort(list.begin(), list.end(), byAddress);
}

void appendDistinct(RequestList &readList, const std::vector<VarItem> &list)
{
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0 && list[i].address == list[i - 1].address)
            continue;
        readList.append(list[i]);
    }
}

} // namespace

extern "C" int ReCreatReadVarList(QList<VarDef> *definitions)
{
    // Refused inside the completion callback, whose thread holds the list
    // mutex: 0, and the cyclic read list is left as it was.
    if (inCompletionCallback())
        return 0;
    Ordelin &d = driver();
    QMutexLocker lock(&d.listMutex);
    d.readList.clear();
    if (!definitions || definitions->isEmpty())
        return 0;
    d.readCycleCount = 0;
    setSetting(&ComInfo::readCycleDone, 0);

    FamilyLists families;
    splitIntoFamilies(*definitions, families);
    for (std::vector<VarItem> &list : families) {
        sortByAddress(list);
        appendDistinct(d.readList, list);
    }
    return d.readList.size();
}
