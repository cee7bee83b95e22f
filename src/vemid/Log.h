// vemid's log: syslog (the daemon facility), and standard error in the foreground.
// Neither may hold up a feed: a message that the log would make wait for is
// dropped, and counted in the next one that goes out.
#ifndef VEMID_LOG_H
#define VEMID_LOG_H

#include <stdint.h>

enum LogLevel { kLogNone = -1, kLogError = 3, kLogWarning = 4, kLogNotice = 5, kLogInfo = 6 };

// Messages go to syslog, and those at `standardErrorUpTo` or more urgent to
// standard error too.
void LogOpen(LogLevel standardErrorUpTo);
void Log(LogLevel level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// In a process forked from vemid whose descriptors were closed: the log's socket
// is opened anew when it logs, and a write to standard error is not guarded.
void LogForked(void);

// A message that repeats while a condition lasts: the first time, then at most
// once a minute (the caller says how often it happened since).
struct LogThrottle {
    int64_t lastMs;
    bool active;
};
bool LogAllowed(LogThrottle* throttle, int64_t nowMs);
void LogThrottleReset(LogThrottle* throttle);

#endif
