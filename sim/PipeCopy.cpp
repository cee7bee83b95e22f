#include <errno.h>
#include <unistd.h>

#include "AddressCheck.h"

bool CopyThroughPipe(void* dst, const void* src, size_t len)
{
    if (len == 0)
        return true;
    if (dst == NULL || src == NULL)
        return false;
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    bool ok = true;
    const size_t chunk = 4096; // below any pipe's capacity, so a write never blocks
    for (size_t done = 0; ok && done < len;) {
        size_t n = len - done < chunk ? len - done : chunk;
        ok = write(fds[1], (const char*)src + done, n) == (ssize_t)n &&
             read(fds[0], (char*)dst + done, n) == (ssize_t)n;
        done += n;
    }
    close(fds[0]);
    close(fds[1]);
    return ok;
}
