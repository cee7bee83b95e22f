#include "HeldOutput.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "ArmedGuard.h"
#include "RunState.h"
#include "SignalWait.h"

namespace {

// At most this much per write: after POLLOUT a pipe or terminal takes a small
// write whole (PIPE_BUF is 512 on FreeBSD), so that it does not wait for room.
const size_t kPiece = 256;

THeldOutput* const h = &gRun.held;

bool Pending(THeldStream* held)
{
    fflush(held->memory);
    return !held->failed && held->sent < held->size;
}

// One piece, if the stream takes it now. True when something was written.
bool WriteSome(THeldStream* held)
{
    if (!Pending(held))
        return false;
    int fd = fileno(held->real);
    struct pollfd p = {fd, POLLOUT, 0};
    if (poll(&p, 1, 0) != 1)
        return false;
    size_t n = held->size - held->sent < kPiece ? held->size - held->sent : kPiece;
    // The guard cuts the write short should another writer fill the pipe first;
    // without it the piece waits for the next try.
    if (!GuardWriteBegin())
        return false;
    ssize_t written = write(fd, held->bytes + held->sent, n);
    int error = errno;
    GuardWriteEnd();
    if (written > 0) {
        held->sent += (size_t)written;
        return true;
    }
    if (written < 0 && error != EINTR && error != EAGAIN) {
        held->failed = true;
        if (held == &h->streams[0] && gRun.streams.outputErrno == 0)
            gRun.streams.outputErrno = error;
    }
    return false;
}

} // namespace

void HoldOutput(void)
{
    FlushOutput(&gRun.streams);
    fflush(StreamErr(&gRun.streams));
    FILE** runs[2] = {&gRun.streams.out, &gRun.streams.err};
    for (int i = 0; i < 2; i++) {
        THeldStream& held = h->streams[i];
        held = THeldStream();
        held.was = *runs[i];
        held.real = i == 0 ? StreamOut(&gRun.streams) : StreamErr(&gRun.streams);
        held.memory = open_memstream(&held.bytes, &held.size);
        if (held.memory == NULL) {
            if (i == 1)
                fclose(h->streams[0].memory), free(h->streams[0].bytes);
            return;
        }
    }
    // Every print of the run now goes to memory.
    gRun.streams.out = h->streams[0].memory;
    gRun.streams.err = h->streams[1].memory;
    h->holding = true;
}

void PumpOutput(void)
{
    for (THeldStream& held : h->streams)
        while (h->holding && WriteSome(&held)) {
        }
}

int PendingOutputFds(struct pollfd* fds)
{
    int n = 0;
    for (THeldStream& held : h->streams)
        if (h->holding && Pending(&held))
            fds[n++] = {fileno(held.real), POLLOUT, 0};
    return n;
}

bool DrainOutput(void)
{
    sigset_t blocked, open;
    GuardSignalsOfWaits(&blocked);
    sigprocmask(SIG_BLOCK, &blocked, &open);
    struct pollfd fds[2];
    int n;
    while (GuardEndingSignal() == 0 && (n = PendingOutputFds(fds)) != 0)
        if (VemiWaitUnder(fds, n, -1, &open) > 0) // a caught signal ends the wait early
            PumpOutput();
    sigprocmask(SIG_SETMASK, &open, nullptr);
    return GuardEndingSignal() == 0;
}

void ReleaseOutput(void)
{
    if (!h->holding)
        return;
    h->holding = false;
    gRun.streams.out = h->streams[0].was;
    gRun.streams.err = h->streams[1].was;
    for (THeldStream& held : h->streams) {
        fclose(held.memory);
        free(held.bytes);
    }
}
