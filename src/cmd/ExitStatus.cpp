#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "ExitStatus.h"

int ExitStatusOf(uint32_t result)
{
    int status = (int)(result & 0xFF);
    return (status == 0 && result != 0) ? 255 : status;
}

int FinishOutput(int status)
{
    int error = fflush(stdout) == 0 ? 0 : errno;
    if (error == 0 && !ferror(stdout))
        return status;
    // Standard output is the product; standard error is the only place left to say it failed.
    if (error != 0)
        fprintf(stderr, "VemiCmd: cannot write standard output: %s\n", strerror(error));
    else
        fprintf(stderr, "VemiCmd: cannot write standard output\n");
    return status != 0 ? status : 255;
}
