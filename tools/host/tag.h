// A tag: a named value of the PLC, read and written as an engineer thinks
// of it. It names its first element in the editor's syntax, has a data type
// that says how many elements it takes and how they read, and optionally a
// scale, an offset and a unit: engineering value = raw * scale + offset.
// A plain variable is a row of tags named by their addresses, typed by
// their family.
#ifndef ORDELIN_HOST_TAG_H
#define ORDELIN_HOST_TAG_H

#include "data_types.h"
#include "variables.h"

#include <QtCore/QJsonObject>

namespace pollhost {

struct Tag {
    QString name;
    QString address; // first element, e.g. DM100 or RLY00105
    const DataType *type = nullptr;
    double scale = 1;
    double offset = 0;
    QString unit;
    bool highWordFirst = false; // 32-bit types: the first word holds the high half
    // What a remote front end (the gateway) may do with it: write it at all,
    // and how far its scaled value must move before it is published again.
    bool writable = false;
    double deadband = 0;
    Variable variable;          // the run it takes; its integer address comes from the driver's check

    QJsonObject toJson() const;
};

// What the fields of a tag say before they are checked.
struct TagFields {
    QString name;
    QString address;
    QString type;  // empty: the family's own (bool or uint16)
    double scale = 1;
    double offset = 0;
    QString unit;
    QString wordOrder; // "low_first" (default) or "high_first"
    bool writable = false;
    double deadband = 0;
};

// Checks a tag: a usable name, an address of a known family whose run fits
// in the family, a type that fits the family and, when the address gives a
// count, a run as long as the type. Every message names the tag.
tools::Result<Tag> defineTag(const TagFields &fields);
tools::Result<Tag> tagFromJson(const QJsonObject &object);

// A typed variable of the command line, ADDRESS[:N]@TYPE ("DM110:2@float32"):
// N values of the type one after the other, each a tag named by its first
// address and its type ("DM110@float32", "DM112@float32").
tools::Result<QList<Tag>> typedTags(const QString &text);

// The tags of a plain variable the driver has checked: one per element.
QList<Tag> tagsOfVariable(const Variable &variable);

struct TagReading {
    bool valid = false; // false when the words do not read as the type
    double value = 0;   // scaled
    QString text;       // as shown: "185.5", "1A2F", "bad BCD 1A2F"
};

// `elements` are the tag's elements from the image: bits 0 or 1, words 0 to 65535.
TagReading readTag(const Tag &tag, const QList<int> &elements);

// The elements to write for a value the user typed, through the scaling;
// refuses text that is not a number of the type, values outside its range
// and values between two steps of the scale.
tools::Result<QList<int>> elementsToWrite(const Tag &tag, const QString &text);

} // namespace pollhost

#endif
