// FreeBSD mounts no /proc by default; the kernel hands the path to every program.
#include <limits.h>
#include <sys/auxv.h>

#include "ExecutablePath.h"

std::string ExecutablePath()
{
    char path[PATH_MAX];
    return elf_aux_info(AT_EXECPATH, path, sizeof(path)) == 0 ? std::string(path) : std::string();
}
