// A host can only use a driver built against its own Qt major version:
// QString, QByteArray and QList values cross the interface, and their
// layouts differ between majors. A driver for another major loads without a
// complaint, pulling that major's QtCore in beside the host's, and crashes
// at the first call that passes a string. So a host looks, right after
// loading, whether another major's QtCore came with the library.
#ifndef ORDELIN_TOOLS_QT_MAJOR_CHECK_H
#define ORDELIN_TOOLS_QT_MAJOR_CHECK_H

namespace tools {

// The Qt major version, other than this program's, whose QtCore is mapped
// into the process; 0 if there is none.
int otherQtMajorLoaded();

} // namespace tools

#endif
