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
    if (elements.isEmpty())
        return {};
    ElementState worst = elements.first();
    for (const ElementState &element : elements)
        worst = worse(worst, element);
    return worst;
}

} // namespace pollhost
