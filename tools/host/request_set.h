// Everything the user asked to poll, write and read once, each variable
// checked by the driver before anything is sent.
#ifndef ORDELIN_HOST_REQUEST_SET_H
#define ORDELIN_HOST_REQUEST_SET_H

#include "shown_tags.h"

namespace pollhost {

struct RequestSet {
    QList<Variable> cyclic; // the plain variables, then one per project tag
    QList<ShownTag> tags;   // what the cyclic reads show
    QList<WriteRequest> writes;
    QList<Variable> onceReads;
};

// The project's tags and the file they came from, for messages.
struct ProjectTags {
    QList<Tag> tags;
    QString path; // empty: no project file
};

// A name the user meant as a tag: no letters followed by an address.
bool namesATag(const QString &name);

// Fails with the first bad variable's message. A write to a project tag,
// NAME=VALUE, goes through the tag's type and scaling; a once-read of a tag
// reads its words. A name that is no address and no tag is said to be so.
tools::Result<RequestSet> buildRequests(const DriverApi &api, const QList<VariableText> &cyclic,
                                        const ProjectTags &project, const QStringList &writes,
                                        const QStringList &onceReads, int language);

} // namespace pollhost

#endif
