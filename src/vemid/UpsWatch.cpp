#include "UpsWatch.h"

#include <stdio.h>
#include <string.h>

#include "Log.h"

namespace {

// Device text in a value: nothing in it can end the line or the quote.
void Escape(char* out, size_t size, const char* text, size_t maxLen)
{
    size_t at = 0;
    for (size_t i = 0; i < maxLen && text[i] != '\0' && at + 2 < size; i++) {
        unsigned char c = (unsigned char)text[i];
        if (c == '"' || c == '\\')
            out[at++] = '\\', out[at++] = (char)c;
        else
            out[at++] = c < 0x20 || c >= 0x7F ? '?' : (char)c;
    }
    out[at] = '\0';
}

enum { kReadStatus, kReadCounter, kReadVersion };

UpsLine LineOf(const VemiUpsInfo* u, int lowPercent)
{
    switch (u->state) {
    case kUpsCharging: return kLineOnline;
    case kUpsDischarging: return (int)u->chargePercent <= lowPercent ? kLineLowBattery : kLineOnBattery;
    case kUpsDisabled: return kLineNoBackup;
    default: return kLineUnknown;
    }
}

// What a status read says: a state, no UPS, or nothing known (and why, for the log).
UpsLine Judge(const UpsWatch* w, const VemiUpsInfo* u, char* why, size_t size)
{
    uint32_t status = u->statusRead.status;
    if (status == VEMI_NOT_SUPPORTED && !w->answered)
        return kLineNoUps;
    if (status != 0) {
        snprintf(why, size, "%s 0x%X",
                 status == VEMI_NOT_SUPPORTED ? "not supported after it answered, read" : "read failed,", status);
        return kLineUnknown;
    }
    if (VemiShortAnswer(&u->statusRead)) {
        snprintf(why, size, "an answer of %u bytes", u->statusRead.returned);
        return kLineUnknown;
    }
    snprintf(why, size, "status byte 0x%02X", u->statusByte);
    return LineOf(u, w->state.lowPercent);
}

void Publish(UpsWatch* w, int64_t nowMs)
{
    for (int i = 0; i < w->sinkCount; i++)
        w->sinks[i].publish(w->sinks[i].context, &w->state, nowMs);
}

void Announce(UpsLine line, const VemiUpsInfo* u)
{
    switch (line) {
    case kLineOnline: Log(kLogNotice, "UPS on line power, charging (%u%%)", u->chargePercent); break;
    case kLineOnBattery: Log(kLogWarning, "UPS on battery (%u%%)", u->chargePercent); break;
    case kLineLowBattery: Log(kLogWarning, "UPS on battery, low (%u%%)", u->chargePercent); break;
    case kLineNoBackup: Log(kLogWarning, "UPS disabled: line power with no battery backup"); break;
    case kLineNoUps: Log(kLogNotice, "the board has no UPS: NUT is told so"); break;
    case kLineUnknown: break;
    }
}

// A read that says nothing known: the last state stands a little, then NUT is
// told there is none. Never a claim on a guess.
void Unknown(UpsWatch* w, const char* why, int64_t nowMs)
{
    if (w->failingSinceMs == 0) {
        w->failingSinceMs = nowMs;
        Log(kLogWarning, "UPS state unknown (%s): the last state stands for %lld s", why,
            (long long)(kUpsStaleAfterMs / 1000));
    }
    if (nowMs - w->failingSinceMs >= kUpsStaleAfterMs && w->state.line != kLineUnknown) {
        Log(kLogError, "UPS state unknown for %lld s: NUT is told there is none",
            (long long)((nowMs - w->failingSinceMs) / 1000));
        w->state.line = kLineUnknown;
    }
    if (w->state.line == kLineUnknown) {
        w->state.noStateWhy = "vemid cannot read the UPS: no current state";
        w->state.charge = w->state.counter = -1;
        Publish(w, nowMs);
    }
    w->nextRead = nowMs + (kUpsRetryMs < w->periodMs ? kUpsRetryMs : w->periodMs);
}

void StatusRead(UpsWatch* w, VemiChannel* channel, int64_t nowMs)
{
    VemiUpsInfo ups;
    VemiReadUpsStatus(channel, &ups);
    char why[64];
    UpsLine line = Judge(w, &ups, why, sizeof(why));
    if (line == kLineUnknown) {
        Unknown(w, why, nowMs);
        return;
    }
    if (w->failingSinceMs != 0 && w->state.line != kLineUnknown)
        Log(kLogNotice, "UPS read again after %lld ms", (long long)(nowMs - w->failingSinceMs));
    w->failingSinceMs = 0;
    w->answered = w->answered || line != kLineNoUps;
    if (line != w->state.line)
        Announce(line, &ups);
    w->state.line = line;
    w->state.noStateWhy = line == kLineNoUps ? "the board has no UPS" : NULL;
    w->state.charge = ups.chargeValid ? (int)ups.chargePercent : -1; // 150 % is none
    if (line == kLineNoUps)
        w->state.counter = -1;
    Publish(w, nowMs);
    w->next = line != kLineNoUps ? kReadCounter : kReadStatus;
    w->nextRead = line != kLineNoUps ? nowMs : nowMs + w->periodMs;
}

void CounterRead(UpsWatch* w, VemiChannel* channel, int64_t nowMs)
{
    VemiUpsInfo ups;
    memset(&ups, 0, sizeof(ups));
    VemiReadUpsCounter(channel, &ups);
    // A counter answered short is half a number: none.
    bool whole = !VemiReadFailed(&ups.counterRead, true);
    w->state.counter = whole ? ups.failCounter : -1;
    Publish(w, nowMs);
    w->next = w->state.firmware[0] == '\0' ? kReadVersion : kReadStatus;
    w->nextRead = w->next == kReadVersion ? nowMs : nowMs + w->periodMs;
}

// The UPS's version, read until it is known.
void VersionRead(UpsWatch* w, VemiChannel* channel, int64_t nowMs)
{
    VemiUpsInfo ups;
    memset(&ups, 0, sizeof(ups));
    VemiReadUpsVersion(channel, &ups);
    if (!VemiReadFailed(&ups.versionRead, true)) {
        VemiUpsVersionText(&ups, w->state.firmware, sizeof(w->state.firmware));
        Publish(w, nowMs);
    }
    w->next = kReadStatus;
    w->nextRead = nowMs + w->periodMs;
}

} // namespace

void UpsWatchInit(UpsWatch* w, int lowPercent, int periodSeconds, int64_t nowMs)
{
    *w = UpsWatch();
    w->periodMs = periodSeconds * 1000LL;
    w->nextRead = nowMs;
    w->state.line = kLineUnknown;
    w->state.noStateWhy = "vemid is starting: no UPS state yet";
    w->state.charge = w->state.counter = -1;
    w->state.lowPercent = lowPercent;
    snprintf(w->state.model, sizeof(w->state.model), "unknown");
}

void UpsWatchAddSink(UpsWatch* w, UpsSink sink)
{
    if (w->sinkCount < (int)(sizeof(w->sinks) / sizeof(w->sinks[0])))
        w->sinks[w->sinkCount++] = sink;
}

void UpsWatchSetBoard(UpsWatch* w, const VemiMainboardInfo* board)
{
    if (VemiReadFailed(&board->read, true))
        return;
    char name[20];
    Escape(name, sizeof(name), board->board.name, sizeof(board->board.name));
    snprintf(w->state.model, sizeof(w->state.model), "%s G%u", name, board->board.revision);
}

int64_t UpsWatchDue(const UpsWatch* w)
{
    return w->nextRead;
}

void UpsWatchStep(UpsWatch* w, VemiChannel* channel, int64_t nowMs)
{
    switch (w->next) {
    case kReadCounter: CounterRead(w, channel, nowMs); break;
    case kReadVersion: VersionRead(w, channel, nowMs); break;
    default: StatusRead(w, channel, nowMs); break;
    }
}

void UpsWatchRound(UpsWatch* w, VemiChannel* channel, int64_t nowMs)
{
    do
        UpsWatchStep(w, channel, nowMs);
    while (w->next != kReadStatus);
}

void UpsWatchNoState(UpsWatch* w, const char* why, int64_t nowMs)
{
    w->state.line = kLineUnknown;
    w->state.noStateWhy = why;
    w->state.charge = w->state.counter = -1;
    w->next = kReadStatus;
    Publish(w, nowMs);
}
