// /wdt: arms the hardware watchdog, keeps it from expiring for ten seconds, disarms it.
// Once armed, only a deliberate key press may leave it armed: a failed retrigger or
// an interrupt disarms it first, since an armed watchdog left behind restarts the machine.
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <termios.h>
#include <unistd.h>

#include "../interface/VemiInterface.h"
#include "CmdTable.h"

namespace {

volatile sig_atomic_t sStopSignal = 0; // signal that asked the test to stop, 0 if none

void OnStopSignal(int sig)
{
    sStopSignal = sig;
}

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int kStopSignalCount = sizeof(kStopSignals) / sizeof(kStopSignals[0]);

struct SignalGuard {
    struct sigaction saved[kStopSignalCount];
};

void CatchStopSignals(SignalGuard* guard)
{
    sStopSignal = 0;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // requests complete; sleeps and key waits end early
    for (int i = 0; i < kStopSignalCount; i++) {
        sigaction(kStopSignals[i], NULL, &guard->saved[i]);
        if (guard->saved[i].sa_handler != SIG_IGN) // a signal ignored by our parent stays so
            sigaction(kStopSignals[i], &action, NULL);
    }
}

void RestoreStopSignals(const SignalGuard* guard)
{
    for (int i = 0; i < kStopSignalCount; i++)
        sigaction(kStopSignals[i], &guard->saved[i], NULL);
}

// Key presses are watched only on a terminal: character at a time, no echo, and
// with signals left on, so Ctrl-C stays an interrupt rather than a key.
struct KeyWatch {
    bool active;
    struct termios saved;
};

void StartKeyWatch(KeyWatch* keys)
{
    keys->active = false;
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &keys->saved) != 0)
        return;
    struct termios raw = keys->saved;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcflush(STDIN_FILENO, TCIFLUSH); // keys typed before the test started do not count
    keys->active = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

void StopKeyWatch(KeyWatch* keys)
{
    if (keys->active)
        tcsetattr(STDIN_FILENO, TCSANOW, &keys->saved);
    keys->active = false;
}

// One second of the test; true when a key was pressed during it.
bool WaitOneSecond(KeyWatch* keys)
{
    fflush(stdout); // progress shows while the test runs, also through a pipe
    if (keys->active) {
        struct pollfd pfd = {STDIN_FILENO, POLLIN, 0};
        int rc = poll(&pfd, 1, 1000);
        if (rc <= 0)
            return false;
        char key;
        if (read(STDIN_FILENO, &key, 1) == 1)
            return true;
        StopKeyWatch(keys); // the terminal went away: keep retriggering without it
    }
    sleep(1);
    return false;
}

uint32_t DisarmWdt(uint32_t* bytesReturned)
{
    uint8_t off = 0;
    uint32_t status = VemiIoCall(0x6000, 0, &off, 1, NULL, 0, bytesReturned);
    PrintVemiError("Disabling Wdt", status);
    return status;
}

// After an interrupt the process ends as the signal would have ended it.
void EndBySignal(int sig)
{
    fflush(stdout);
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, NULL);
    raise(sig);
}

} // namespace

uint32_t TriggerWdt(void*)
{
    uint8_t pwrCtrlMode = 1;
    uint8_t wdtTime = 5;
    uint8_t retriggerInterval = 2;
    uint8_t retriggerCount = 5;
    uint32_t bytesReturned = 0;

    uint32_t status = VemiIoCall(0x6000, 4, &pwrCtrlMode, 1, NULL, 0, &bytesReturned);
    if (status != 0 && status != VEMI_NOT_SUPPORTED) {
        printf("Enabling Wdt PwrCtrl-Mode failed with error 0x%04X\n", status);
        return status;
    }

    SignalGuard guard;
    CatchStopSignals(&guard); // before arming: no moment armed without the guard
    status = VemiIoCall(0x6000, 0, &wdtTime, 1, NULL, 0, &bytesReturned);
    if (status != 0) {
        PrintVemiError("Setting Wdt time", status);
        RestoreStopSignals(&guard);
        return status;
    }
    printf("Watchdog set to %d sec\nRetrigger every %d sec\n", wdtTime, retriggerInterval);
    printf("Retriggering...(please Wait)\nPress any key to abort retriggering(cause restart!)\n");

    KeyWatch keys;
    StartKeyWatch(&keys);
    uint32_t failed = 0;
    bool keyPressed = false;
    for (int i = 0; i < retriggerCount * retriggerInterval && !sStopSignal; i++) {
        if (i % retriggerInterval == 0) {
            failed = VemiIoCall(0x6000, 6, NULL, 0, NULL, 0, &bytesReturned);
            if (failed != 0) {
                PrintVemiError("Retriggering Wdt", failed);
                break;
            }
        }
        if (WaitOneSecond(&keys)) {
            keyPressed = true;
            break;
        }
    }
    StopKeyWatch(&keys);

    if (keyPressed) {
        // Leaving the watchdog armed is what the key is for.
        printf("Retriggering stopped by key press: the watchdog will restart the machine\n");
        RestoreStopSignals(&guard);
        return 0;
    }
    if (failed == 0 && !sStopSignal)
        printf("Wdt was retrigger %u times\n", retriggerCount);
    status = DisarmWdt(&bytesReturned);
    int sig = sStopSignal;
    RestoreStopSignals(&guard);
    if (sig != 0)
        EndBySignal(sig);
    return failed != 0 ? failed : status;
}
