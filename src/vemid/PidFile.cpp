#include "PidFile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "WatchdogLock.h"

int PidFileOpen(const char* path, int* fd, long* holder)
{
    *holder = 0;
    int error = TakeWatchdogLock(path, fd);
    if (error == EWOULDBLOCK) {
        char text[32] = "";
        int in = open(path, O_RDONLY | O_CLOEXEC);
        if (in >= 0) {
            ssize_t n = read(in, text, sizeof(text) - 1);
            text[n > 0 ? n : 0] = '\0';
            close(in);
        }
        *holder = strtol(text, NULL, 10);
    }
    return error;
}

void PidFileWrite(int fd)
{
    char text[32];
    int n = snprintf(text, sizeof(text), "%ld\n", (long)getpid());
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text, (size_t)n, 0) != n) { /* the lock still stands */ }
}

void PidFileRemove(const char* path, int fd)
{
    unlink(path);
    close(fd);
}
