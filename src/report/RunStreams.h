// Where a run reads and writes: standard input, output and error, or streams a
// program puts in their place (the watchdog test holds its output in memory while
// the watchdog is armed; tests write to files). The reports, the writers and the
// tool print through these, never to the C library's streams by name.
#ifndef VEMI_RUN_STREAMS_H
#define VEMI_RUN_STREAMS_H

#include <stddef.h>
#include <stdio.h>

struct RunStreams {
    FILE* in;        // null: standard input
    FILE* out;       // null: standard output
    FILE* err;       // null: standard error
    int outputErrno; // the first failed write to the output, 0 while none
};

inline FILE* StreamIn(const RunStreams* s)
{
    return s != NULL && s->in != NULL ? s->in : stdin;
}
inline FILE* StreamOut(const RunStreams* s)
{
    return s != NULL && s->out != NULL ? s->out : stdout;
}
inline FILE* StreamErr(const RunStreams* s)
{
    return s != NULL && s->err != NULL ? s->err : stderr;
}

// Flushes the output now, keeping the error number of a first failure.
void FlushOutput(RunStreams* streams);
// Writes bytes to the output, keeping the error number of a first failure.
void WriteOutput(RunStreams* streams, const void* bytes, size_t length);

#endif
