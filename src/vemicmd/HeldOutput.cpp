#include "HeldOutput.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "ArmedSignals.h"
#include "ExitStatus.h"
#include "SignalWait.h"

namespace {

// At most this much per write: after POLLOUT a pipe or terminal takes a small
// write whole (PIPE_BUF is 512 on FreeBSD), so that it does not wait for room.
const size_t kPiece = 256;

struct Held {
    FILE* real;   // the stream the tool printed to before
    FILE* memory; // where it prints now
    char* bytes;  // the memory stream's buffer and size, as of its last fflush
    size_t size;
    size_t sent;  // of them, written out
    bool failed;  // the stream cannot be written: its bytes are dropped
};
Held sHeld[2]; // standard output, standard error
bool sHolding = false;

bool Pending(Held* h)
{
    fflush(h->memory);
    return !h->failed && h->sent < h->size;
}

// One piece, if the stream takes it now. True when something was written.
bool WriteSome(Held* h)
{
    if (!Pending(h))
        return false;
    int fd = fileno(h->real);
    struct pollfd p = {fd, POLLOUT, 0};
    if (poll(&p, 1, 0) != 1)
        return false;
    size_t n = h->size - h->sent < kPiece ? h->size - h->sent : kPiece;
    // The guard cuts the write short should another writer fill the pipe first.
    ArmWriteGuard();
    ssize_t written = write(fd, h->bytes + h->sent, n);
    int error = errno;
    DisarmWriteGuard();
    if (written > 0) {
        h->sent += (size_t)written;
        return true;
    }
    if (written < 0 && error != EINTR && error != EAGAIN) {
        h->failed = true;
        if (h == &sHeld[0] && gOutputErrno == 0)
            gOutputErrno = error;
    }
    return false;
}

} // namespace

void HoldOutput(void)
{
    FlushOutput();
    fflush(stderr);
    for (int i = 0; i < 2; i++) {
        Held& h = sHeld[i];
        h = Held();
        h.real = i == 0 ? stdout : stderr;
        h.memory = open_memstream(&h.bytes, &h.size);
        if (h.memory == NULL) {
            if (i == 1)
                fclose(sHeld[0].memory), free(sHeld[0].bytes);
            return;
        }
    }
    // Every printf of the tool now goes to memory. C leaves stdout and stderr
    // macros that need not be assignable; both C libraries the tool runs on make
    // them variables (FreeBSD: __stdoutp and __stderrp; glibc: stdout and stderr),
    // which the FreeBSD check compiles against.
    stdout = sHeld[0].memory;
    stderr = sHeld[1].memory;
    sHolding = true;
}

void PumpOutput(void)
{
    for (Held& h : sHeld)
        while (sHolding && WriteSome(&h)) {
        }
}

int PendingOutputFds(struct pollfd* fds)
{
    int n = 0;
    for (Held& h : sHeld)
        if (sHolding && Pending(&h))
            fds[n++] = {fileno(h.real), POLLOUT, 0};
    return n;
}

bool DrainOutput(void)
{
    sigset_t held, open;
    ArmedSignalsOfWaits(&held);
    sigprocmask(SIG_BLOCK, &held, &open);
    struct pollfd fds[2];
    int n;
    while (ArmedEndingSignal() == 0 && (n = PendingOutputFds(fds)) != 0)
        if (VemiWaitUnder(fds, n, -1, &open) > 0) // a caught signal ends the wait early
            PumpOutput();
    sigprocmask(SIG_SETMASK, &open, nullptr);
    return ArmedEndingSignal() == 0;
}

void ReleaseOutput(void)
{
    if (!sHolding)
        return;
    sHolding = false;
    stdout = sHeld[0].real;
    stderr = sHeld[1].real;
    for (Held& h : sHeld) {
        fclose(h.memory);
        free(h.bytes);
    }
}
