#include "LockFile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

void (*gLockFileOpened)(void) = NULL;

namespace {

const int kTries = 8; // a file removed between the open and the lock is opened anew

long NamedHolder(int fd)
{
    char text[32];
    ssize_t n = pread(fd, text, sizeof(text) - 1, 0);
    text[n > 0 ? n : 0] = '\0';
    return strtol(text, NULL, 10);
}

LockFileResult Refused(int fd, char* why, size_t size, const char* reason)
{
    if (fd >= 0)
        close(fd);
    snprintf(why, size, "%s", reason);
    return kLockRefused;
}

} // namespace

LockFileResult LockFileTake(LockFile* lock, const char* path, long* holder, char* why, size_t whySize)
{
    *holder = 0;
    lock->path = path;
    lock->fd = -1;
    for (int attempt = 0; attempt < kTries; attempt++) {
        int fd = open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0)
            return Refused(-1, why, whySize, errno == ELOOP || errno == EMLINK ? "a symbolic link" : strerror(errno));
        struct stat opened;
        if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
            return Refused(fd, why, whySize, "not a regular file");
        if (opened.st_uid != geteuid()) {
            char reason[64];
            snprintf(reason, sizeof(reason), "owned by uid %u, not by this user", (unsigned)opened.st_uid);
            return Refused(fd, why, whySize, reason);
        }
        if (opened.st_nlink != 1)
            return Refused(fd, why, whySize, "the file has other names (hard links)");
        if (gLockFileOpened != NULL)
            gLockFileOpened();
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK)
                return Refused(fd, why, whySize, strerror(errno));
            *holder = NamedHolder(fd);
            close(fd);
            return kLockHeld;
        }
        // A holder that stopped meanwhile removed the file we locked: its path
        // names a new one, or none, which the next taker would lock as well.
        struct stat named;
        if (lstat(path, &named) != 0 || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
            close(fd);
            continue;
        }
        if (fchmod(fd, 0600) != 0 || ftruncate(fd, 0) != 0)
            return Refused(fd, why, whySize, strerror(errno));
        lock->fd = fd;
        return kLockTaken;
    }
    return Refused(-1, why, whySize, "the file keeps being replaced");
}

bool LockFileName(const LockFile* lock)
{
    char text[32];
    int n = snprintf(text, sizeof(text), "%ld\n", (long)getpid());
    return lock->fd >= 0 && ftruncate(lock->fd, 0) == 0 && pwrite(lock->fd, text, (size_t)n, 0) == n;
}

void LockFileRelease(LockFile* lock)
{
    if (lock->fd < 0)
        return;
    struct stat opened, named;
    if (fstat(lock->fd, &opened) == 0 && lstat(lock->path, &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino)
        unlink(lock->path); // still locked: no one took this file meanwhile
    close(lock->fd);
    lock->fd = -1;
}
