#include "AtomicFile.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

bool WriteFileWhole(const char* path, void (*fill)(FILE* out, void* context), void* context)
{
    char temporary[PATH_MAX];
    if (snprintf(temporary, sizeof(temporary), "%s.XXXXXX", path) >= (int)sizeof(temporary)) {
        errno = ENAMETOOLONG;
        return false;
    }
    int fd = mkstemp(temporary);
    if (fd < 0)
        return false;
    FILE* out = fdopen(fd, "w");
    if (out == NULL) {
        int error = errno;
        close(fd);
        unlink(temporary);
        errno = error;
        return false;
    }
    fill(out, context);
    bool written = fflush(out) == 0 && !ferror(out) && fchmod(fd, 0644) == 0;
    int error = written ? 0 : errno;
    if (fclose(out) != 0 && written)
        written = false, error = errno;
    if (written && rename(temporary, path) == 0)
        return true;
    if (written)
        error = errno;
    unlink(temporary);
    errno = error;
    return false;
}
