#include "UpsFile.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Log.h"

namespace {

const size_t kFileSize = 512;

// The file's content: the state, or none with the reason in ups.alarm.
void Render(const UpsState* s, char* out, size_t size)
{
    static const char* const status[] = {"", "OL CHRG", "OB DISCHRG", "OB DISCHRG LB", "OL ALARM", ""};
    bool known = s->noStateWhy == NULL;
    const char* alarm = !known ? s->noStateWhy : s->line == kLineNoBackup ? "UPS disabled: no battery backup" : "";
    char charge[16] = "\"\"", counter[16] = "\"\"";
    if (known && s->charge >= 0)
        snprintf(charge, sizeof(charge), "%d", s->charge);
    if (known && s->counter >= 0)
        snprintf(counter, sizeof(counter), "%d", s->counter);
    snprintf(out, size,
             "# The board's UPS, written by vemid for NUT's dummy-ups (mode = dummy-loop).\n"
             "ups.model: \"%s\"\nups.firmware: \"%s\"\nups.status: \"%s\"\nups.alarm: \"%s\"\n"
             "battery.charge: %s\nbattery.charge.low: %d\nexperimental.dalv.power_failures: %s\n",
             s->model, s->firmware, known ? status[s->line] : "", alarm, charge, s->lowPercent, counter);
}

void LogFailure(UpsFile* f, int64_t nowMs)
{
    if (f->writeFailures++ == 0 || nowMs - f->lastWriteLogMs >= 60000) {
        Log(kLogError, "%s: cannot write: %s (%u in a row)", f->path, strerror(errno), f->writeFailures);
        f->lastWriteLogMs = nowMs;
    }
}

void Written(UpsFile* f, const char* content)
{
    snprintf(f->written, sizeof(f->written), "%s", content);
    if (f->writeFailures != 0)
        Log(kLogNotice, "%s: written again after %u failures", f->path, f->writeFailures);
    f->writeFailures = 0;
}

// Written when what it says changes, or when the path no longer names it.
void Publish(void* context, const UpsState* state, int64_t nowMs)
{
    UpsFile* f = (UpsFile*)context;
    char content[sizeof(f->written)];
    Render(state, content, sizeof(content));
    if (!f->open) {
        f->open = ReservedFileOpen(&f->file, f->path, kFileSize, 0644, content);
        f->open ? Written(f, content) : LogFailure(f, nowMs);
        return;
    }
    if (strcmp(content, f->written) == 0 && ReservedFileStands(&f->file))
        return;
    if (ReservedFilePublish(&f->file, content))
        Written(f, content);
    else
        LogFailure(f, nowMs);
}

} // namespace

bool UpsFileStart(UpsFile* f, const char* path, const UpsState* state)
{
    *f = UpsFile();
    f->path = path;
    RemoveLeftoverTemporaries(path);
    char content[sizeof(f->written)];
    Render(state, content, sizeof(content));
    if (!ReservedFileOpen(&f->file, path, kFileSize, 0644, content)) {
        Log(kLogError, "%s: cannot write: %s", path, strerror(errno));
        struct stat st; // what an earlier run left must not be served as current
        if (lstat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && unlink(path) == 0)
            Log(kLogError, "%s: removed: the state it held is not current", path);
        f->writeFailures = 1;
        return false;
    }
    f->open = true;
    snprintf(f->written, sizeof(f->written), "%s", content);
    return true;
}

UpsSink UpsFileSink(UpsFile* f)
{
    return {f, Publish};
}

void UpsFileClose(UpsFile* f)
{
    if (f->open)
        ReservedFileClose(&f->file);
    f->open = false;
}
