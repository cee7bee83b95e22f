#include "ProcessName.h"

#include <sys/types.h>
#include <sys/sysctl.h>
#include <stdio.h>
#include <string.h>

// The program's name as it was started (its argv[0], without the folder): the
// arguments are what the kernel tells about a process without more headers.
bool VemiProcessName(long pid, char* out, size_t size)
{
    int name[] = {CTL_KERN, KERN_PROC, KERN_PROC_ARGS, (int)pid};
    char args[256];
    size_t length = sizeof(args) - 1;
    if (sysctl(name, 4, args, &length, NULL, 0) != 0 || length == 0)
        return false;
    args[length] = '\0';
    const char* slash = strrchr(args, '/');
    snprintf(out, size, "%s", slash != NULL ? slash + 1 : args);
    return out[0] != '\0';
}
