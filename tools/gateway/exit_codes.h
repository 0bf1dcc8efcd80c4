// How ordelin-gateway ends: the codes of docs/gateway.md and of --help, and
// what a plant's supervisor makes of them when one of its lines ends.
#ifndef ORDELIN_GATEWAY_EXIT_CODES_H
#define ORDELIN_GATEWAY_EXIT_CODES_H

#include <QtCore/QString>

namespace gateway {

enum ExitCode {
    Stopped = 0,
    BadOption = 1,
    BadTag = 2,
    LibraryFailed = 3,
    PortFailed = 4,
    LinkNeverOpened = 5,
    OtherQtMajor = 7,
    CredentialsRefused = 9,
    TlsRefused = 10,
    BrokerInClear = 11,
    JournalFailed = 12,
};

// "exit code 4 (port)", for the supervisor's report of a line's end.
QString exitReason(int code);
// False for the ends that starting the same line again cannot mend: an
// option, a project, the driver library, the broker's refusal. A port may
// come back, and so may a line stopped or killed by someone else.
bool restartMends(int code);

} // namespace gateway

#endif
