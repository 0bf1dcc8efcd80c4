#include "shown_tags.h"

namespace pollhost {

QList<ShownTag> placeTags(const QList<Variable> &plain, const QList<Tag> &project)
{
    QList<ShownTag> shown;
    for (int i = 0; i < plain.size(); ++i) {
        const QList<Tag> tags = tagsOfVariable(plain[i]);
        for (int k = 0; k < tags.size(); ++k)
            shown.append({tags[k], i, k, false});
    }
    for (int i = 0; i < project.size(); ++i)
        shown.append({project[i], int(plain.size()) + i, 0, true});
    return shown;
}

TagReading readShown(const ShownTag &shown, const QList<QList<int>> &values)
{
    return readTag(shown.tag, values.value(shown.variable).mid(shown.first, shown.tag.variable.count));
}

ElementState shownState(const ShownTag &shown, const QList<QVector<ElementState>> &states)
{
    const QVector<ElementState> elements = states.value(shown.variable).mid(shown.first, shown.tag.variable.count);
    ElementState worst{Quality::Fresh, -1};
    for (const ElementState &element : elements) {
        if (element.quality == Quality::NeverRead)
            return element;
        if (element.quality == Quality::Stale
            && (worst.quality != Quality::Stale || element.readAtMs < worst.readAtMs))
            worst = element;
        else if (worst.quality == Quality::Fresh)
            worst.readAtMs = worst.readAtMs < 0 ? element.readAtMs : std::min(worst.readAtMs, element.readAtMs);
    }
    return elements.isEmpty() ? ElementState{} : worst;
}

} // namespace pollhost
