#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "ExitStatus.h"

int ExitStatusOf(uint32_t result)
{
    int status = (int)(result & 0xFF);
    return (status == 0 && result != 0) ? 255 : status;
}

void GuardStandardStreams(void)
{
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        int held = open("/dev/null", O_RDONLY);
        if (held != fd && held >= 0) {
            dup2(held, fd);
            close(held);
        }
    }
}

int FinishOutput(int status)
{
    int error = fflush(stdout) == 0 ? gOutputErrno : errno;
    if (error == 0 && !ferror(stdout))
        return status;
    // Standard output is the product; standard error is the only place left to say it failed.
    if (error != 0)
        fprintf(stderr, "VemiCmd: cannot write standard output: %s\n", strerror(error));
    else
        fprintf(stderr, "VemiCmd: cannot write standard output\n");
    return status != 0 ? status : 255;
}
