#include "ProcessName.h"

#include <sys/param.h>
#include <sys/sysctl.h>
#include <sys/user.h>
#include <stdio.h>

bool VemiProcessName(long pid, char* out, size_t size)
{
    int name[] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, (int)pid};
    struct kinfo_proc info;
    size_t length = sizeof(info);
    if (sysctl(name, 4, &info, &length, NULL, 0) != 0 || length != sizeof(info))
        return false;
    snprintf(out, size, "%s", info.ki_comm);
    return out[0] != '\0';
}
