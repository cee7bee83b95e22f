// A small file that readers always find whole, and that can still be replaced
// when its file system is full: two files of one fixed size, whose space is taken
// at the start. One stands at the path; a new content goes into the other, which
// is then renamed over the path, while a second name keeps the one it replaced as
// the next spare. Nothing is allocated after the start, and a reader opens either
// the old content or the new, never a part, an empty file or no file.
#ifndef VEMID_RESERVED_FILE_H
#define VEMID_RESERVED_FILE_H

#include <limits.h>
#include <stddef.h>
#include <sys/types.h>

#include "WholeFile.h" // ReplaceableByUs

struct ReservedFile {
    const char* path;
    size_t size;                 // every content is padded to it with a comment line
    mode_t mode;
    int published, spare;        // descriptors of the file at the path and of the spare
    char spareName[PATH_MAX];    // the spare's own name, beside the path
};

// Creates both files (mode `mode`, never through a symlink) and publishes
// `content`, in place of a file there only when ReplaceableByUs. False, with
// errno, when that failed.
bool ReservedFileOpen(ReservedFile* file, const char* path, size_t size, mode_t mode, const char* content);

// Publishes a new content, at most size - 2 bytes. False, with errno, when it could
// not be: the path keeps the content it had.
bool ReservedFilePublish(ReservedFile* file, const char* content);

// Whether the path still names the published file (it was not removed by hand).
bool ReservedFileStands(const ReservedFile* file);

// Lets both go; the published file stays at its path, the spare is removed.
void ReservedFileClose(ReservedFile* file);

extern const char kTemporaryMark[]; // ".vemid-": what vemid's temporary and spare files are named by

// The name a temporary or spare file of `path` has: the path, ".vemid-" and six
// characters; leftovers of a run that crashed are recognised by it.
bool TemporaryNameOf(char* out, size_t size, const char* path, const char* six);

// The folder `path` is in ("." for a bare name), and its last component.
void FolderOf(const char* path, char* folder, size_t size, const char** name);

// Removes the temporary and spare files a crashed run left beside `path`: regular
// files with the temporary name, owned by this user.
void RemoveLeftoverTemporaries(const char* path);

#endif
