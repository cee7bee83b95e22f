#include "WatchdogLock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

int TakeWatchdogLock(const char* path, int* fd)
{
    *fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (*fd < 0)
        *fd = open(path, O_RDONLY | O_CLOEXEC); // a lock needs no write access
    if (*fd < 0)
        return errno;
    if (flock(*fd, LOCK_EX | LOCK_NB) == 0)
        return 0;
    int error = errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
    close(*fd);
    *fd = -1;
    return error;
}
