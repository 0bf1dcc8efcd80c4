// The tags a front end shows, each placed in the cyclic read list: a plain
// variable of N elements shows as N tags named by their addresses, a tag of
// the project has a variable of its own.
#ifndef ORDELIN_HOST_SHOWN_TAGS_H
#define ORDELIN_HOST_SHOWN_TAGS_H

#include "freshness.h"
#include "tag.h"

namespace pollhost {

struct ShownTag {
    Tag tag;
    int variable = 0;   // index in the cyclic read list
    int first = 0;      // its first element in that variable
    bool named = false; // from the project, not a plain variable
};

// The tags of the cyclic variables: the plain ones first, then one per
// project tag, in the order the read list has them.
QList<ShownTag> placeTags(const QList<Variable> &plain, const QList<Tag> &project);

// A tag's reading from the values of the cyclic variables.
TagReading readShown(const ShownTag &shown, const QList<QList<int>> &values);

// How far a tag can be trusted: as far as the least trusted of its
// elements (never read before stale before fresh; stale since the oldest read).
ElementState shownState(const ShownTag &shown, const QList<QVector<ElementState>> &states);

} // namespace pollhost

#endif
