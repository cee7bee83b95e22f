// The signals whose default action ends a process, on Linux and on FreeBSD, besides
// the real-time signals (SIGRTMIN to SIGRTMAX, added at run time) and SIGPIPE
// (which each program treats as a failed write). The programs that guard the
// watchdog catch them, so that no signal ends a run with the watchdog forgotten;
// vemisim passes them on.
#ifndef VEMI_ENDING_SIGNALS_H
#define VEMI_ENDING_SIGNALS_H

#include <signal.h>
#include <unistd.h>

const int kVemiEndingSignals[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF,
    SIGXCPU, SIGXFSZ,
#ifdef __linux__
    SIGIO, SIGPWR, SIGSTKFLT, // on FreeBSD, SIGIO is ignored by default
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
    SIGILL, SIGTRAP, SIGABRT, SIGFPE, SIGBUS, SIGSEGV, SIGSYS,
};

// A fault: returning from its handler would run the faulting instruction again.
inline bool VemiIsFaultSignal(int sig)
{
    return sig == SIGILL || sig == SIGTRAP || sig == SIGABRT || sig == SIGFPE || sig == SIGBUS ||
           sig == SIGSEGV || sig == SIGSYS;
}

// Sent by another process (kill, sigqueue), rather than raised by the kernel for
// this one: a fault, a timer, the terminal.
inline bool VemiSentByAnother(const siginfo_t* info)
{
    bool sent = info->si_code == SI_USER || info->si_code == SI_QUEUE;
#ifdef SI_TKILL
    sent = sent || info->si_code == SI_TKILL;
#endif
    return sent && info->si_pid != getpid();
}

#endif
