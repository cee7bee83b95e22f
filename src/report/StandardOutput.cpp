#include "StandardOutput.h"

#include <errno.h>
#include <stdio.h>

int gOutputErrno = 0;

void FlushOutput(void)
{
    if (fflush(stdout) != 0 && gOutputErrno == 0)
        gOutputErrno = errno;
}
