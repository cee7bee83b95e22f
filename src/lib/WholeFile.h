// A file that readers see whole or not at all: written beside its place and
// renamed into it, so that node_exporter never reads half of one. vemid's metrics
// file and VemiCmd's --prometheus-file are written so.
#ifndef VEMI_WHOLE_FILE_H
#define VEMI_WHOLE_FILE_H

#include <stddef.h>

// Whether the file at `path` may be replaced: there is none, or it is a regular
// file of this user's; never another user's file, a symbolic link or a device.
// False, with errno EPERM, otherwise.
bool ReplaceableByUs(const char* path);

// Writes `text` to a new temporary file beside `path` (named `path`, then `mark`
// and six random characters: no collector takes it for a .prom file), then renames
// it over `path` when that is ReplaceableByUs, readable by all (node_exporter runs
// as a user of its own). False, with errno, when that failed: nothing is left
// behind, and the file at `path` keeps its content.
bool WriteFileWhole(const char* path, const char* mark, const char* text, size_t length);

#endif
