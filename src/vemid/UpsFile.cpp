#include "UpsFile.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "Log.h"

namespace {

const int kMissesBeforeRemoval = 3;

struct Snapshot {
    const UpsFile* file;
    const VemiUpsInfo* ups;
    UpsLine line;
};

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

void Fill(FILE* out, void* context)
{
    const Snapshot* s = (const Snapshot*)context;
    const VemiUpsInfo* u = s->ups;
    static const char* const status[] = {"", "OL CHRG", "OB DISCHRG", "OB DISCHRG LB", "OL", ""};
    fprintf(out, "# The board's UPS, written by vemid for NUT's dummy-ups (mode = dummy-loop).\n");
    fprintf(out, "ups.mfr: \"%s\"\n", s->file->mfr);
    fprintf(out, "ups.model: \"%s\"\n", s->file->model);
    fprintf(out, "ups.status: \"%s\"\n", status[s->line]);
    fprintf(out, "ups.alarm: \"%s\"\n", s->line == kLineNoBackup ? "UPS disabled: no battery backup" : "");
    if (u->chargeMeant)
        fprintf(out, "battery.charge: %u\n", u->chargePercent);
    else
        fprintf(out, "battery.charge: \"\"\n");
    fprintf(out, "battery.charge.low: %d\n", s->file->lowPercent);
    if (u->counterRead == 0)
        fprintf(out, "experimental.dalv.power_failures: %u\n", u->failCounter);
}

void Remove(UpsFile* file)
{
    if (file->written && unlink(file->path) != 0 && errno != ENOENT)
        Log(kLogWarning, "%s: cannot remove: %s", file->path, strerror(errno));
    file->written = false;
}

void Announce(UpsLine line, const VemiUpsInfo* u)
{
    switch (line) {
    case kLineOnline: Log(kLogNotice, "UPS on line power, charging (%u%%)", u->chargePercent); break;
    case kLineOnBattery: Log(kLogWarning, "UPS on battery (%u%%)", u->chargePercent); break;
    case kLineLowBattery: Log(kLogWarning, "UPS on battery, low (%u%%)", u->chargePercent); break;
    case kLineNoBackup: Log(kLogWarning, "UPS disabled: line power with no battery backup"); break;
    case kLineNoUps: Log(kLogNotice, "the board has no UPS: no file for NUT"); break;
    case kLineUnknown: break;
    }
}

} // namespace

void UpsFileStart(UpsFile* file, const char* path, int lowPercent, const VemiMainboardInfo* board)
{
    *file = UpsFile();
    file->path = path;
    file->lowPercent = lowPercent;
    if (board->status == 0) {
        Escape(file->mfr, sizeof(file->mfr), board->board.name, sizeof(board->board.name));
        snprintf(file->model, sizeof(file->model), "%s G%u", file->mfr, board->board.revision);
    } else {
        snprintf(file->mfr, sizeof(file->mfr), "unknown");
        snprintf(file->model, sizeof(file->model), "unknown");
    }
}

void UpsFileRound(UpsFile* file, VemiChannel* channel)
{
    VemiUpsInfo ups;
    VemiReadUpsState(channel, &ups);
    UpsLine line = LineOf(&ups, file->lowPercent);
    if (line == kLineUnknown) {
        // Never a claim of OB on a guess: the last state stands a little, then goes.
        if (++file->misses == 1)
            Log(kLogWarning, "UPS state unknown (status byte 0x%02X, read 0x%X)", ups.statusByte, ups.statusRead);
        if (file->misses == kMissesBeforeRemoval && file->written) {
            Log(kLogWarning, "UPS state unknown for %d reads: %s removed", kMissesBeforeRemoval, file->path);
            Remove(file);
            file->line = kLineUnknown;
        }
        return;
    }
    file->misses = 0;
    if (line != file->line)
        Announce(line, &ups);
    file->line = line;
    if (line == kLineNoUps) {
        Remove(file);
        return;
    }
    int charge = ups.chargeMeant ? (int)ups.chargePercent : -1, counter = ups.counterRead == 0 ? ups.failCounter : -1;
    if (file->written && line == file->writtenLine && charge == file->charge && counter == file->counter &&
        access(file->path, F_OK) == 0)
        return;
    Snapshot snapshot = {file, &ups, line};
    if (WriteFileWhole(file->path, Fill, &snapshot)) {
        file->written = true;
        file->writtenLine = line;
        file->charge = charge;
        file->counter = counter;
        file->writeFailures = 0;
    } else if (file->writeFailures++ == 0) {
        Log(kLogError, "%s: cannot write: %s", file->path, strerror(errno));
    }
}

void UpsFileRemove(UpsFile* file)
{
    Remove(file);
}
