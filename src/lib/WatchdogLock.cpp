#include "WatchdogLock.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

long NamedHolder(int fd)
{
    char text[32];
    ssize_t n = pread(fd, text, sizeof(text) - 1, 0);
    text[n > 0 ? n : 0] = '\0';
    return strtol(text, NULL, 10);
}

} // namespace

int TakeWatchdogLock(const char* path, int* fd, long* holder)
{
    *holder = 0;
    *fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (*fd < 0)
        *fd = open(path, O_RDONLY | O_CLOEXEC); // a lock needs no write access
    if (*fd < 0)
        return errno;
    if (flock(*fd, LOCK_EX | LOCK_NB) == 0)
        return 0;
    int error = errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
    if (error == EWOULDBLOCK)
        *holder = NamedHolder(*fd);
    close(*fd);
    *fd = -1;
    return error;
}

void NameWatchdogHolder(int fd)
{
    char text[32];
    int n = snprintf(text, sizeof(text), "%ld\n", (long)getpid());
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text, (size_t)n, 0) != n) { /* the lock still stands */ }
}

void ReleaseWatchdogLock(int fd)
{
    if (ftruncate(fd, 0) != 0) { /* read-only: it named no one either */ }
    close(fd);
}
