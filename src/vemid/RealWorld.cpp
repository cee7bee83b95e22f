#include "RealWorld.h"

#include <errno.h>
#include <poll.h>
#include <string.h>

#include "Log.h"
#include "MonotonicClock.h"
#include "SignalWait.h"
#include "ArmedGuard.h"
#include "StopSignals.h"

namespace {

int64_t Now(void*)
{
    return VemiNowMs();
}

// The helper has gone (killed, crashed): the check it ran is one that could not
// run; the next is asked of a new helper.
void HelperGone(CheckHelper* h, Keeper* k)
{
    Log(kLogError, "the health check's helper has ended: a new one starts with the next check");
    CheckHelperEnd(h);
    CheckReport lost = {k->checkId, kCheckNotRun, ECHILD, 0};
    KeeperCheckEnded(k, &lost, VemiNowMs());
}

void TakeReports(CheckHelper* h, Keeper* k)
{
    CheckReport reports[8];
    int n;
    while ((n = CheckHelperTake(h, reports, 8)) > 0)
        for (int i = 0; i < n; i++)
            KeeperCheckEnded(k, &reports[i], VemiNowMs());
    if (n < 0 && h->pid != 0)
        HelperGone(h, k);
}

void Wait(void* context, Keeper* k, int64_t untilMs)
{
    RealWorldParts* w = (RealWorldParts*)context;
    struct pollfd fds[1 + 1 + kNutClients];
    int count = 0;
    if (w->helper != NULL && w->helper->reports >= 0)
        fds[count++] = {w->helper->reports, POLLIN, 0};
    int nut = count;
    if (w->nut != NULL)
        count += NutServerFds(w->nut, fds + nut, (int)(sizeof(fds) / sizeof(fds[0])) - nut);
    if (VemiWaitUnder(fds, count, GuardEndingSignal() != 0 ? 0 : untilMs, StopSignalsOpen()) > 0) {
        if (nut != 0 && fds[0].revents != 0)
            TakeReports(w->helper, k);
        if (w->nut != NULL)
            NutServerServe(w->nut, fds + nut, count - nut, VemiNowMs());
    }
    if (int sig = TakeStopSignal())
        KeeperStopAsked(k, sig);
}

bool StartCheck(void* context, uint32_t id)
{
    CheckHelper* h = ((RealWorldParts*)context)->helper;
    if (h->pid == 0 && !CheckHelperStart(h)) {
        Log(kLogError, "the health check's helper cannot start: %s", strerror(errno));
        return false;
    }
    return CheckHelperRun(h, id);
}

void KillCheck(void* context, uint32_t id)
{
    CheckHelperKill(((RealWorldParts*)context)->helper, id);
}

} // namespace

KeeperWorld RealWorld(RealWorldParts* parts)
{
    return {parts, Now, Wait, StartCheck, KillCheck};
}
