#include <limits.h>
#include <unistd.h>

#include "ExecutablePath.h"

std::string ExecutablePath()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return n > 0 ? std::string(path, (size_t)n) : std::string();
}
