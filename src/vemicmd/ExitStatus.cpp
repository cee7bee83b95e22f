#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "ExitStatus.h"
#include "RunState.h"

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
    FILE* out = StreamOut(&gRun.streams);
    int error = fflush(out) == 0 ? gRun.streams.outputErrno : errno;
    if (error == 0 && !ferror(out))
        return status;
    // Standard output (or --prometheus-file's file) is the product; standard error is
    // the only place left to say it failed.
    FILE* err = StreamErr(&gRun.streams);
    const char* what = gRun.publishPath != NULL ? gRun.publishPath : "standard output";
    if (error != 0)
        fprintf(err, "VemiCmd: cannot write %s: %s\n", what, strerror(error));
    else
        fprintf(err, "VemiCmd: cannot write %s\n", what);
    return status != 0 ? status : 255;
}
