#include "Log.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "StopSignals.h"

namespace {

const int kFacilityDaemon = 3 << 3;
int sStderrUpTo = kLogNone; // the least urgent level standard error takes
int sSyslog = -1;     // a datagram socket of this process's own, that never blocks
unsigned sDropped = 0; // messages the log did not take

void ConnectSyslog(void)
{
    static const char* const paths[] = {"/var/run/log", "/dev/log"}; // FreeBSD's syslogd, then Linux's
    for (const char* path : paths) {
        int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
        if (fd < 0)
            return;
        fcntl(fd, F_SETFL, O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        struct sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path);
        if (connect(fd, (struct sockaddr*)&addr, sizeof(addr)) == 0) {
            sSyslog = fd;
            return;
        }
        close(fd);
    }
}

// Written only when the stream takes it at once, or nearly.
bool WriteNow(int fd, const char* text, size_t len)
{
    struct pollfd p = {fd, POLLOUT, 0};
    if (poll(&p, 1, 0) != 1 || !(p.revents & POLLOUT))
        return false;
    GuardWrite(true); // writable is no promise that the whole line fits
    bool written = write(fd, text, len) == (ssize_t)len;
    GuardWrite(false);
    return written;
}

} // namespace

void LogOpen(LogLevel standardErrorUpTo)
{
    sStderrUpTo = standardErrorUpTo;
    if (sSyslog < 0)
        ConnectSyslog();
}

void Log(LogLevel level, const char* format, ...)
{
    char message[512];
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(message, sizeof(message), format, ap);
    va_end(ap);
    if (n < 0)
        return;
    if (sDropped != 0) {
        size_t at = strlen(message);
        snprintf(message + at, sizeof(message) - at, " (%u earlier messages dropped)", sDropped);
    }
    bool wanted = false, taken = false;
    char line[600];
    if (sSyslog >= 0) {
        int len = snprintf(line, sizeof(line), "<%d>vemid[%d]: %s", kFacilityDaemon | level, (int)getpid(), message);
        wanted = true;
        taken = send(sSyslog, line, (size_t)len, 0) == len;
    }
    if (level <= sStderrUpTo) {
        int len = snprintf(line, sizeof(line), "vemid: %s\n", message);
        wanted = true;
        taken = WriteNow(STDERR_FILENO, line, (size_t)len) || taken;
    }
    sDropped = taken || !wanted ? 0 : sDropped + 1;
}

bool LogAllowed(LogThrottle* t, int64_t nowMs)
{
    if (t->active && nowMs - t->lastMs < 60000)
        return false;
    t->active = true;
    t->lastMs = nowMs;
    return true;
}

void LogThrottleReset(LogThrottle* t)
{
    t->active = false;
}
