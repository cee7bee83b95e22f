#include "PidFile.h"

#include <unistd.h>

#include "WatchdogLock.h"

int PidFileOpen(const char* path, int* fd, long* holder)
{
    return TakeWatchdogLock(path, fd, holder);
}

void PidFileWrite(int fd)
{
    NameWatchdogHolder(fd);
}

void PidFileRemove(const char* path, int fd)
{
    unlink(path);
    close(fd);
}
