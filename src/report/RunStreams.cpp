#include "RunStreams.h"

#include <errno.h>

void FlushOutput(RunStreams* s)
{
    if (fflush(StreamOut(s)) != 0 && s != NULL && s->outputErrno == 0)
        s->outputErrno = errno;
}

void WriteOutput(RunStreams* s, const void* bytes, size_t length)
{
    if (length != 0 && fwrite(bytes, 1, length, StreamOut(s)) != length && s != NULL && s->outputErrno == 0)
        s->outputErrno = errno;
}
