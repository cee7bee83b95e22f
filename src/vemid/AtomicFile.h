// A file that readers see whole or not at all: written beside its place and
// renamed into it, so that node_exporter never reads half of one.
#ifndef VEMID_ATOMIC_FILE_H
#define VEMID_ATOMIC_FILE_H

#include <stddef.h>

// Writes `text` to a new temporary file beside `path` (see TemporaryNameOf), then
// renames it over `path` when that is ReplaceableByUs, readable by all (node_exporter runs as a user of its
// own). False, with errno, when that failed: nothing is left behind, and the file
// at `path` keeps its content.
bool WriteFileWhole(const char* path, const char* text, size_t length);

#endif
