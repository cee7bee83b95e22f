#include "WholeFile.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

bool ReplaceableByUs(const char* path)
{
    struct stat st;
    if (lstat(path, &st) != 0)
        return errno == ENOENT;
    if (S_ISREG(st.st_mode) && st.st_uid == geteuid())
        return true;
    errno = EPERM;
    return false;
}

bool WriteFileWhole(const char* path, const char* mark, const char* text, size_t length)
{
    char temporary[PATH_MAX];
    if (snprintf(temporary, sizeof(temporary), "%s%sXXXXXX", path, mark) >= (int)sizeof(temporary)) {
        errno = ENAMETOOLONG;
        return false;
    }
    int fd = mkstemp(temporary); // O_EXCL: never through a symlink, never an existing file
    if (fd < 0)
        return false;
    bool written = fchmod(fd, 0644) == 0;
    for (size_t done = 0; written && done < length;) {
        ssize_t n = write(fd, text + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += n > 0 ? (size_t)n : 0;
    }
    int error = written ? 0 : errno;
    if (close(fd) != 0 && written)
        written = false, error = errno;
    if (written && !ReplaceableByUs(path))
        written = false, error = errno;
    if (written && rename(temporary, path) == 0)
        return true;
    if (written)
        error = errno;
    unlink(temporary);
    errno = error;
    return false;
}
