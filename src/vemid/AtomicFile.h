// A file that readers see whole or not at all: written beside its place and
// renamed into it, so that NUT's driver and node_exporter never read half of one.
#ifndef VEMID_ATOMIC_FILE_H
#define VEMID_ATOMIC_FILE_H

#include <stdio.h>

// Calls `fill` with a stream on a new temporary file beside `path`, then renames it
// over `path`, readable by all (NUT's driver runs as a user of its own). False,
// with errno, when that failed; nothing is left behind then.
bool WriteFileWhole(const char* path, void (*fill)(FILE* out, void* context), void* context);

#endif
