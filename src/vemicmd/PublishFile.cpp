#include "PublishFile.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include "RunState.h"
#include "WholeFile.h"

namespace {

const char kTemporaryMark[] = ".vemicmd-"; // the collector reads *.prom alone

} // namespace

bool PublishFileBegin(void)
{
    gRun.publishBytes = NULL;
    gRun.publishSize = 0;
    gRun.streams.out = open_memstream(&gRun.publishBytes, &gRun.publishSize);
    if (gRun.streams.out == NULL)
        gRun.streams.outputErrno = errno != 0 ? errno : ENOMEM;
    return gRun.streams.out != NULL;
}

void PublishFileEnd(void)
{
    FILE* memory = gRun.streams.out;
    gRun.streams.out = NULL;
    bool whole = fflush(memory) == 0 && !ferror(memory) && gRun.streams.outputErrno == 0;
    int error = whole ? 0 : (errno != 0 ? errno : ENOMEM);
    if (fclose(memory) != 0 && whole)
        whole = false, error = errno;
    if (whole && !WriteFileWhole(gRun.publishPath, kTemporaryMark, gRun.publishBytes, gRun.publishSize))
        error = errno != 0 ? errno : EIO;
    free(gRun.publishBytes);
    gRun.publishBytes = NULL;
    if (error != 0 && gRun.streams.outputErrno == 0)
        gRun.streams.outputErrno = error;
}
