/*
 * The link's own ceiling: a host that writes the 11 bytes of a one-word DM
 * read and blocks for the 7-byte reply, against a PLC that blocks for the
 * 11 bytes and answers 7, in two processes over the same line the driver's
 * host is measured on. Nothing but the system calls of the exchange.
 *
 *   link_pingpong [--plc-cpu N] [--poll] HOST_SIDE PLC_SIDE EXCHANGES
 *   link_pingpong [--poll] --pty EXCHANGES
 *
 * --plc-cpu keeps the PLC process on processor N, as the whole-host
 * benchmark keeps ordelin-sim, while the host process stays where it was
 * started.
 *
 * With --poll the host waits as ordelin-poll does, with ppoll() on the line
 * and a stop pipe and a deadline, before each read: the cost of a bounded,
 * stoppable wait itself, apart from everything else a host does.
 *
 * With --pty the PLC process serves the master of a new pseudo-terminal
 * and the host its slave, the line ordelin-poll --sim polls.
 *
 * Prints one line: exchanges, seconds, exchanges per second, and the
 * host process's CPU time per exchange in microseconds.
 */
#define _XOPEN_SOURCE 600
#define _DEFAULT_SOURCE
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

static const char command[] = "RD DM0100\r\n";
static const char reply[] = "01234\r\n";
enum { commandLength = 11, replyLength = 7 };

static int openRaw(const char *path)
{
    int fd = open(path, O_RDWR | O_NOCTTY);
    struct termios mode;
    if (fd < 0 || tcgetattr(fd, &mode) != 0) {
        fprintf(stderr, "link_pingpong: %s: %s\n", path, strerror(errno));
        exit(1);
    }
    cfmakeraw(&mode);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &mode);
    return fd;
}

/* With --poll, the stop pipe the host's waits watch; -1 without. */
static int stopFd = -1;

/* A line may hand a message over in pieces; read until all of it came. */
static void readAll(int fd, char *buffer, size_t length)
{
    size_t got = 0;
    while (got < length) {
        if (stopFd >= 0) {
            struct pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
            const struct timespec timeout = {1, 0};
            if (ppoll(fds, 2, &timeout, NULL) <= 0 || fds[1].revents) {
                fprintf(stderr, "link_pingpong: no reply within a second\n");
                exit(1);
            }
        }
        ssize_t n = read(fd, buffer + got, length - got);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            fprintf(stderr, "link_pingpong: read: %s\n", n == 0 ? "end of file" : strerror(errno));
            exit(1);
        }
        got += (size_t)n;
    }
}

static void writeAll(int fd, const char *buffer, size_t length)
{
    if (write(fd, buffer, length) != (ssize_t)length) {
        fprintf(stderr, "link_pingpong: write: %s\n", strerror(errno));
        exit(1);
    }
}

/* A new pseudo-terminal: its master is the PLC's end, its slave the host's. */
static void openPseudoTerminal(int *plc, int *host)
{
    *plc = posix_openpt(O_RDWR | O_NOCTTY);
    if (*plc < 0 || grantpt(*plc) != 0 || unlockpt(*plc) != 0) {
        fprintf(stderr, "link_pingpong: pseudo-terminal: %s\n", strerror(errno));
        exit(1);
    }
    *host = openRaw(ptsname(*plc));
}

static double seconds(struct timeval t) { return (double)t.tv_sec + (double)t.tv_usec / 1e6; }

int main(int argc, char **argv)
{
    int plcCpu = -1;
    if (argc > 2 && strcmp(argv[1], "--plc-cpu") == 0) {
        plcCpu = atoi(argv[2]);
        argc -= 2;
        argv += 2;
    }
    int stop[2] = {-1, -1};
    if (argc > 1 && strcmp(argv[1], "--poll") == 0) {
        if (pipe(stop) != 0) {
            fprintf(stderr, "link_pingpong: pipe: %s\n", strerror(errno));
            return 1;
        }
        --argc;
        ++argv;
    }
    const int ownLine = argc == 3 && strcmp(argv[1], "--pty") == 0;
    if (argc != 4 && !ownLine) {
        fprintf(stderr, "usage: link_pingpong [--plc-cpu N] [--poll] HOST_SIDE PLC_SIDE EXCHANGES\n"
                        "       link_pingpong [--poll] --pty EXCHANGES\n");
        return 2;
    }
    long exchanges = atol(argv[argc - 1]);
    char buffer[64];
    int plc, host;
    if (ownLine) {
        openPseudoTerminal(&plc, &host);
    } else {
        plc = openRaw(argv[2]);
        host = openRaw(argv[1]);
    }

    /* The PLC keeps its end open until the host has read the last reply:
     * a pseudo-terminal whose master closes drops what it still holds. */
    int done[2];
    if (pipe(done) != 0) {
        fprintf(stderr, "link_pingpong: pipe: %s\n", strerror(errno));
        return 1;
    }
    pid_t child = fork();
    if (child == 0) {
        if (plcCpu >= 0) {
            cpu_set_t cpus;
            CPU_ZERO(&cpus);
            CPU_SET(plcCpu, &cpus);
            sched_setaffinity(0, sizeof cpus, &cpus);
        }
        close(host);
        close(done[1]);
        for (long i = 0; i < exchanges; ++i) {
            readAll(plc, buffer, commandLength);
            writeAll(plc, reply, replyLength);
        }
        while (read(done[0], buffer, 1) < 0 && errno == EINTR) {
        }
        _exit(0);
    }
    close(plc);
    close(done[0]);
    stopFd = stop[0]; /* the host's waits only: the PLC blocks as before */

    struct rusage before, after;
    struct timespec start, end;
    getrusage(RUSAGE_SELF, &before);
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (long i = 0; i < exchanges; ++i) {
        writeAll(host, command, commandLength);
        readAll(host, buffer, replyLength);
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    getrusage(RUSAGE_SELF, &after);
    close(done[1]);
    int status = 0;
    waitpid(child, &status, 0);

    double elapsed = (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
    double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime)
               - seconds(before.ru_stime);
    printf("exchanges=%ld seconds=%.3f per_second=%.0f host_cpu_us=%.2f\n", exchanges, elapsed,
           (double)exchanges / elapsed, cpu / (double)exchanges * 1e6);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
