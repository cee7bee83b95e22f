#include "Log.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "ArmedGuard.h"

namespace {

const int kFacilityDaemon = 3 << 3;
int sStderrUpTo = kLogNone; // the least urgent level standard error takes
int sSyslog = -1;     // a datagram socket of this process's own, that never blocks
bool sSyslogWanted = false;
unsigned sDropped = 0; // messages the log did not take
bool sGuarded = true;  // a write to standard error is cut short by vemid's timer

void ConnectSyslog(void)
{
    // FreeBSD's syslogd, then Linux's; VEMID_LOG_SOCKET names another, for tests.
    const char* paths[] = {getenv("VEMID_LOG_SOCKET"), "/var/run/log", "/dev/log"};
    for (const char* path : paths) {
        if (path == NULL)
            continue;
        int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        struct sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path);
        if (connect(fd, (struct sockaddr*)&addr, sizeof(addr)) == 0) {
            sSyslog = fd;
            return;
        }
        close(fd);
        if (path == paths[0])
            return; // a test's socket, or none
    }
}

// A message to syslogd, never waited for. A syslogd that went away (restarted)
// refuses the send: the socket is connected again, to the new one, once.
bool SendSyslog(const char* line, size_t len)
{
    for (int attempt = 0; attempt < 2; attempt++) {
        if (sSyslog < 0)
            ConnectSyslog();
        if (sSyslog < 0)
            return false;
        if (send(sSyslog, line, len, 0) == (ssize_t)len)
            return true;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS || errno == EINTR)
            return false; // syslogd is there but busy: the message is dropped, not waited for
        close(sSyslog);
        sSyslog = -1;
    }
    return false;
}

// Written only when the stream takes it at once, or nearly.
bool WriteNow(int fd, const char* text, size_t len)
{
    struct pollfd p = {fd, POLLOUT, 0};
    if (poll(&p, 1, 0) != 1 || !(p.revents & POLLOUT))
        return false;
    // Writable is no promise that the whole line fits: the guard cuts it short.
    if (sGuarded && !GuardWriteBegin())
        return false;
    bool written = write(fd, text, len) == (ssize_t)len;
    if (sGuarded)
        GuardWriteEnd();
    return written;
}

} // namespace

void LogOpen(LogLevel standardErrorUpTo)
{
    sStderrUpTo = standardErrorUpTo;
    sSyslogWanted = true;
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
    if (sSyslogWanted) {
        int len = snprintf(line, sizeof(line), "<%d>vemid[%d]: %s", kFacilityDaemon | level, (int)getpid(), message);
        wanted = true;
        taken = len > 0 && SendSyslog(line, (size_t)len < sizeof(line) ? (size_t)len : sizeof(line) - 1);
    }
    if (level <= sStderrUpTo) {
        int len = snprintf(line, sizeof(line), "vemid: %s\n", message);
        wanted = true;
        taken = WriteNow(STDERR_FILENO, line, (size_t)len) || taken;
    }
    sDropped = taken || !wanted ? 0 : sDropped + 1;
}

void LogForked(void)
{
    sSyslog = -1;
    sDropped = 0;
    sGuarded = false;
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
