#include "UpsFile.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Log.h"

namespace {

const size_t kFileSize = 512;

// Device text in a value: quoted, and nothing in it can end the line or the quote.
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

UpsLine LineOf(const VemiUpsInfo* u, int lowPercent)
{
    if (!VemiUpsPresent(u))
        return kLineNoUps;
    if (u->statusRead != 0)
        return kLineUnknown;
    switch (u->state) {
    case kUpsCharging: return kLineOnline;
    case kUpsDischarging: return (int)u->chargePercent <= lowPercent ? kLineLowBattery : kLineOnBattery;
    case kUpsDisabled: return kLineNoBackup;
    default: return kLineUnknown;
    }
}

// The file's content: the state, or none with the reason in ups.alarm.
void Render(const UpsFile* f, char* out, size_t size, const char* noStateWhy)
{
    static const char* const status[] = {"", "OL CHRG", "OB DISCHRG", "OB DISCHRG LB", "OL ALARM", ""};
    bool known = noStateWhy == NULL;
    const char* alarm = !known ? noStateWhy : f->line == kLineNoBackup ? "UPS disabled: no battery backup" : "";
    char charge[16] = "\"\"", counter[16] = "\"\"";
    if (known && f->charge >= 0)
        snprintf(charge, sizeof(charge), "%d", f->charge);
    if (known && f->counter >= 0)
        snprintf(counter, sizeof(counter), "%d", f->counter);
    snprintf(out, size,
             "# The board's UPS, written by vemid for NUT's dummy-ups (mode = dummy-loop).\n"
             "ups.mfr: \"%s\"\nups.model: \"%s\"\nups.status: \"%s\"\nups.alarm: \"%s\"\n"
             "battery.charge: %s\nbattery.charge.low: %d\nexperimental.dalv.power_failures: %s\n",
             f->mfr, f->model, known ? status[f->line] : "", alarm, charge, f->lowPercent, counter);
}

void Publish(UpsFile* f, const char* noStateWhy, int64_t nowMs)
{
    char content[sizeof(f->written)];
    Render(f, content, sizeof(content), noStateWhy);
    if (!f->open || strcmp(content, f->written) == 0)
        return;
    if (ReservedFilePublish(&f->file, content)) {
        snprintf(f->written, sizeof(f->written), "%s", content);
        if (f->writeFailures != 0)
            Log(kLogNotice, "%s: written again after %u failures", f->path, f->writeFailures);
        f->writeFailures = 0;
        return;
    }
    if (f->writeFailures++ == 0 || nowMs - f->lastWriteLogMs >= 60000) {
        Log(kLogError, "%s: cannot write: %s (%u in a row)", f->path, strerror(errno), f->writeFailures);
        f->lastWriteLogMs = nowMs;
    }
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

} // namespace

bool UpsFileStart(UpsFile* f, const char* path, int lowPercent)
{
    *f = UpsFile();
    f->path = path;
    f->lowPercent = lowPercent;
    f->charge = f->counter = -1;
    snprintf(f->mfr, sizeof(f->mfr), "unknown");
    snprintf(f->model, sizeof(f->model), "unknown");
    RemoveLeftoverTemporaries(path);
    char content[sizeof(f->written)];
    Render(f, content, sizeof(content), "vemid is starting: no UPS state yet");
    if (!ReservedFileOpen(&f->file, path, kFileSize, 0644, content)) {
        Log(kLogError, "%s: cannot write: %s", path, strerror(errno));
        struct stat st; // what an earlier run left must not be served as current
        if (lstat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && unlink(path) == 0)
            Log(kLogError, "%s: removed: the state it held is not current", path);
        return false;
    }
    f->open = true;
    snprintf(f->written, sizeof(f->written), "%s", content);
    return true;
}

void UpsFileSetBoard(UpsFile* f, const VemiMainboardInfo* board)
{
    if (board->status != 0)
        return;
    Escape(f->mfr, sizeof(f->mfr), board->board.name, sizeof(board->board.name));
    snprintf(f->model, sizeof(f->model), "%s G%u", f->mfr, board->board.revision);
}

int64_t UpsFileRound(UpsFile* f, VemiChannel* channel, int64_t nowMs, int64_t periodMs)
{
    VemiUpsInfo ups;
    VemiReadUpsState(channel, &ups);
    // A counter answered short is half a number: none. (A status answered short
    // leaves the byte 0, a state that means nothing known.)
    if (VemiShortAnswer(ups.counterRead, ups.counterReturned, kVemiUpsCounterBytes))
        ups.counterRead = VEMI_SHORT_ANSWER;
    UpsLine line = LineOf(&ups, f->lowPercent);
    if (line == kLineUnknown) {
        // Never a claim on a guess: the last state stands a little, then NUT is told none.
        if (f->failingSinceMs == 0) {
            f->failingSinceMs = nowMs;
            Log(kLogWarning, "UPS state unknown (status byte 0x%02X, read 0x%X): the last state stands for %lld s",
                ups.statusByte, ups.statusRead, (long long)(kUpsStaleAfterMs / 1000));
        }
        if (nowMs - f->failingSinceMs >= kUpsStaleAfterMs && f->line != kLineUnknown) {
            Log(kLogError, "UPS state unknown for %lld s: NUT is told there is none",
                (long long)((nowMs - f->failingSinceMs) / 1000));
            f->line = kLineUnknown;
        }
        if (f->line == kLineUnknown)
            Publish(f, "vemid cannot read the UPS: no current state", nowMs);
        return nowMs + (kUpsRetryMs < periodMs ? kUpsRetryMs : periodMs);
    }
    if (f->failingSinceMs != 0 && f->line != kLineUnknown)
        Log(kLogNotice, "UPS read again after %lld ms", (long long)(nowMs - f->failingSinceMs));
    f->failingSinceMs = 0;
    if (line != f->line)
        Announce(line, &ups);
    f->line = line;
    f->charge = ups.chargeValid ? (int)ups.chargePercent : -1; // 150 % is none
    f->counter = ups.counterRead == 0 ? ups.failCounter : -1;
    Publish(f, line == kLineNoUps ? "the board has no UPS" : NULL, nowMs);
    return nowMs + periodMs;
}

void UpsFileStop(UpsFile* f, const char* why)
{
    if (!f->open)
        return;
    Publish(f, why, 0);
    ReservedFileClose(&f->file);
    f->open = false;
}
