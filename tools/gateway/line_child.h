// A line of a plant runs in a process its supervisor started (plant.h), and
// must not outlive it, even when the supervisor is killed without a chance
// to stop its lines: a second supervisor started then would poll the same
// ports beside a line left over.
#ifndef ORDELIN_GATEWAY_LINE_CHILD_H
#define ORDELIN_GATEWAY_LINE_CHILD_H

namespace gateway {

// The environment variable in which the supervisor hands its pid to the
// processes of its lines. A line run by hand (--line NAME) has none.
extern const char supervisorVariable[];

// In a process the supervisor started: asks the kernel for SIGTERM when the
// supervisor dies, and returns false when it has died already (before the
// request, which would then never come). True otherwise.
bool followSupervisor();

} // namespace gateway

#endif
