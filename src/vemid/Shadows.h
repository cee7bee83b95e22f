// Other producers of the board's vemi_ series. node_exporter's textfile collector
// serves a series from the first file that has it and drops the others' samples
// without a word to the scrape (HTTP 200, no scrape error): a cron job's file
// left beside vemid's would hide vemid's values, or vemid's the cron job's. vemid
// looks at its folder every round and says so in its log and its metrics.
#ifndef VEMID_SHADOWS_H
#define VEMID_SHADOWS_H

#include <stdint.h>
#include <sys/types.h>
#include <time.h>

const int kShadowFilesKept = 64;   // files of the folder remembered between rounds
const int kShadowNamesLogged = 4;  // and named in the log

struct ShadowWatch {
    struct Seen {                  // a file as last read, so that an unchanged one is not read again
        dev_t dev;
        ino_t ino;
        off_t size;
        struct timespec mtime;
        bool shadows;
    } seen[kShadowFilesKept];
    int seenCount;
    unsigned count;                // files that write vemi_ series, as of the last scan
    char names[kShadowNamesLogged][64];
    int64_t lastLogMs;
};

// Looks at the *.prom files beside `path` (itself aside; symbolic links and
// anything but regular files are not opened) for vemi_ series, logs a change, or
// the same finding again after an hour, and keeps their number in `watch->count`.
void ShadowsScan(ShadowWatch* watch, const char* path, int64_t nowMs);

#endif
