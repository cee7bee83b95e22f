#include "ProcessName.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

bool VemiProcessName(long pid, char* out, size_t size)
{
    char path[48];
    snprintf(path, sizeof(path), "/proc/%ld/comm", pid);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t n = read(fd, out, size - 1);
    close(fd);
    if (n <= 0)
        return false;
    out[n] = '\0';
    if (out[n - 1] == '\n')
        out[n - 1] = '\0';
    return out[0] != '\0';
}
