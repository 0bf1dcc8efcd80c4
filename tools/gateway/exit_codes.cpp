#include "exit_codes.h"

namespace gateway {

namespace {

struct Meaning {
    int code;
    const char *word;
    bool restartMends;
};

const Meaning meanings[] = {
    {Stopped, "stopped", true},
    {BadOption, "bad option", false},
    {BadTag, "bad tag or project", false},
    {LibraryFailed, "driver library", false},
    {PortFailed, "port", true},
    {LinkNeverOpened, "link never opened", true},
    {OtherQtMajor, "driver of another Qt major", false},
    {CredentialsRefused, "credentials refused", false},
    {TlsRefused, "TLS handshake refused", false},
    {BrokerInClear, "broker in clear", false},
    {JournalFailed, "journal", true}, // another gateway may let go of it
};

const Meaning *meaning(int code)
{
    for (const Meaning &known : meanings) {
        if (known.code == code)
            return &known;
    }
    return nullptr;
}

} // namespace

QString exitReason(int code)
{
    const Meaning *known = meaning(code);
    return known ? QStringLiteral("exit code %1 (%2)").arg(code).arg(QLatin1String(known->word))
                 : QStringLiteral("exit code %1").arg(code);
}

bool restartMends(int code)
{
    const Meaning *known = meaning(code);
    return !known || known->restartMends;
}

} // namespace gateway
