#include "line_child.h"

#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>
#include <unistd.h>

namespace gateway {

const char supervisorVariable[] = "ORDELIN_GATEWAY_SUPERVISOR";

bool followSupervisor()
{
    const char *supervisor = std::getenv(supervisorVariable);
    if (!supervisor)
        return true;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // A supervisor that died before the request left this process to
    // another parent, and no signal will tell it.
    return getppid() == pid_t(std::atol(supervisor));
}

} // namespace gateway
