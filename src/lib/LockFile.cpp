#include "LockFile.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileHolders.h"
#include "TrustedFolder.h"

void (*gLockFileStep)(LockFileStep step) = NULL;

namespace {

const int kTries = 8; // a file removed or replaced before the lock is opened anew

long NamedHolder(int fd)
{
    char text[32];
    ssize_t n = pread(fd, text, sizeof(text) - 1, 0);
    text[n > 0 ? n : 0] = '\0';
    return strtol(text, NULL, 10);
}

// Whether the folder's entry is still the file open on `fd`. Async-signal-safe.
bool StillNamed(int folder, const char* name, int fd)
{
    struct stat opened, named;
    return fstat(fd, &opened) == 0 && fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

void Step(LockFileStep step)
{
    if (gLockFileStep != NULL)
        gLockFileStep(step);
}

LockFileResult Refused(int folder, int fd, char* why, size_t size, const char* reason)
{
    if (fd >= 0)
        close(fd);
    close(folder);
    snprintf(why, size, "%s", reason);
    return kLockRefused;
}

// Another process has the lock: who, as the processes show it. A file others
// could open (an older release's 0644), locked by no process of this user's, has
// no holder worth the name: it goes, and the next try makes a private one.
bool HeldBy(int folder, const char* name, int fd, const struct stat* opened, long* holder)
{
    FileHolders seen;
    bool looked = VemiFileHolders(fd, geteuid(), NamedHolder(fd), &seen);
    if (looked && (opened->st_mode & 077) != 0 && !seen.byUser) {
        if (StillNamed(folder, name, fd))
            unlinkat(folder, name, 0);
        return false;
    }
    *holder = seen.named != 0 ? seen.named : seen.first;
    return true;
}

} // namespace

LockFileResult LockFileTake(LockFile* lock, const char* path, long* holder, char* why, size_t whySize)
{
    *holder = 0;
    lock->path = path;
    lock->fd = -1;
    lock->folder = -1;
    int folder = TrustedFolderOpen(path, lock->name, sizeof(lock->name), why, whySize);
    if (folder < 0)
        return kLockRefused;
    for (int attempt = 0; attempt < kTries; attempt++) {
        int fd = openat(folder, lock->name, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0)
            return Refused(folder, -1, why, whySize,
                           errno == ELOOP || errno == EMLINK ? "a symbolic link" : strerror(errno));
        Step(kLockFileOpened);
        struct stat opened;
        if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
            return Refused(folder, fd, why, whySize, "not a regular file");
        if (opened.st_uid != geteuid()) {
            char reason[64];
            snprintf(reason, sizeof(reason), "owned by uid %u, not by this user", (unsigned)opened.st_uid);
            return Refused(folder, fd, why, whySize, reason);
        }
        // No name at all: the holder that stopped meanwhile removed it. Open the path again.
        if (opened.st_nlink == 0) {
            close(fd);
            continue;
        }
        if (opened.st_nlink != 1)
            return Refused(folder, fd, why, whySize, "the file has other names (hard links)");
        Step(kLockFileChecked);
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK)
                return Refused(folder, fd, why, whySize, strerror(errno));
            bool held = HeldBy(folder, lock->name, fd, &opened, holder);
            close(fd);
            if (!held)
                continue;
            close(folder);
            return kLockHeld;
        }
        // A holder that stopped meanwhile removed the file we locked: its name
        // names a new one, or none, which the next taker would lock as well.
        if (!StillNamed(folder, lock->name, fd)) {
            close(fd);
            continue;
        }
        if (fchmod(fd, 0600) != 0 || ftruncate(fd, 0) != 0)
            return Refused(folder, fd, why, whySize, strerror(errno));
        lock->fd = fd;
        lock->folder = folder;
        return kLockTaken;
    }
    return Refused(folder, -1, why, whySize, "the file keeps being replaced");
}

bool LockFileName(const LockFile* lock)
{
    char text[32];
    int n = snprintf(text, sizeof(text), "%ld\n", (long)getpid());
    return lock->fd >= 0 && ftruncate(lock->fd, 0) == 0 && pwrite(lock->fd, text, (size_t)n, 0) == n;
}

void LockFileRemoveAtEnd(const LockFile* lock)
{
    // Still locked: no one took this file meanwhile, and a newer one is not ours.
    if (lock->fd >= 0 && StillNamed(lock->folder, lock->name, lock->fd))
        unlinkat(lock->folder, lock->name, 0);
}

void LockFileRelease(LockFile* lock)
{
    if (lock->fd < 0)
        return;
    LockFileRemoveAtEnd(lock);
    close(lock->fd);
    close(lock->folder);
    lock->fd = lock->folder = -1;
}
