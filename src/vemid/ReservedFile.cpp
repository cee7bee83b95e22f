#include "ReservedFile.h"

const char kTemporaryMark[] = ".vemid-";

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

unsigned sRandom = 0; // names of spares: unforeseeable enough that another user cannot take them all

// The content, then a comment line that fills the file to its size.
bool Padded(char* out, size_t size, const char* content)
{
    size_t n = strlen(content);
    if (n + 2 > size) {
        errno = EFBIG;
        return false;
    }
    memcpy(out, content, n);
    memset(out + n, ' ', size - n);
    out[n] = '#';
    out[size - 1] = '\n';
    return true;
}

bool WriteWhole(int fd, const char* bytes, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd, bytes + done, size - done, (off_t)done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += (size_t)n;
    }
    return true;
}

bool SameFile(int fd, const char* path)
{
    struct stat a, b;
    return fstat(fd, &a) == 0 && lstat(path, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void RandomSix(char* out)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    if (sRandom == 0)
        sRandom = (unsigned)time(NULL) ^ ((unsigned)getpid() << 16) ^ 1u;
    for (int i = 0; i < 6; i++) {
        sRandom = sRandom * 1103515245u + 12345u;
        out[i] = letters[(sRandom >> 16) % (sizeof(letters) - 1)];
    }
    out[6] = '\0';
}

// A new file beside the path, with its full size written: the space it will ever need.
int CreateSpare(ReservedFile* f, const char* bytes)
{
    if (!TemporaryNameOf(f->spareName, sizeof(f->spareName), f->path, "XXXXXX"))
        return -1;
    int fd = mkstemp(f->spareName); // O_EXCL: never through a symlink, never an existing file
    if (fd < 0)
        return -1;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    if (fchmod(fd, f->mode) != 0 || !WriteWhole(fd, bytes, f->size)) {
        int error = errno;
        unlink(f->spareName);
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

bool TemporaryNameOf(char* out, size_t size, const char* path, const char* six)
{
    if (snprintf(out, size, "%s%s%s", path, kTemporaryMark, six) >= (int)size) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

bool ReservedFileOpen(ReservedFile* f, const char* path, size_t size, mode_t mode, const char* content)
{
    *f = ReservedFile();
    f->path = path;
    f->size = size;
    f->mode = mode;
    f->published = f->spare = -1;
    char* bytes = (char*)malloc(size);
    if (bytes == NULL || !Padded(bytes, size, content)) {
        free(bytes);
        return false;
    }
    // Both files whole before either is published: a file system with room for one
    // alone publishes nothing, rather than a file that could never change.
    char firstName[PATH_MAX];
    int first = ReplaceableByUs(path) ? CreateSpare(f, bytes) : -1;
    snprintf(firstName, sizeof(firstName), "%s", f->spareName);
    int second = first >= 0 ? CreateSpare(f, bytes) : -1;
    int error = errno;
    free(bytes);
    if (second >= 0 && rename(firstName, path) != 0) {
        error = errno;
        unlink(f->spareName);
        close(second);
        second = -1;
    }
    if (second < 0) {
        if (first >= 0) {
            unlink(firstName);
            close(first);
        }
        errno = error;
        return false;
    }
    f->published = first;
    f->spare = second;
    return true;
}

bool ReservedFilePublish(ReservedFile* f, const char* content)
{
    if (f->published < 0) {
        errno = EBADF;
        return false;
    }
    char bytes[4096];
    if (f->size > sizeof(bytes) || !Padded(bytes, f->size, content) || !WriteWhole(f->spare, bytes, f->size))
        return false;
    // The file at the path stays reachable under a new name, as the next spare.
    char keep[PATH_MAX], six[8];
    bool kept = false;
    bool ours = SameFile(f->published, f->path);
    for (int attempt = 0; ours && !kept && attempt < 16; attempt++) {
        RandomSix(six);
        if (!TemporaryNameOf(keep, sizeof(keep), f->path, six))
            return false;
        kept = link(f->path, keep) == 0;
        if (!kept && errno != EEXIST)
            return false;
    }
    if (ours && !kept)
        return false;
    if (!ours && !ReplaceableByUs(f->path))
        return false;
    if (rename(f->spareName, f->path) != 0) {
        int error = errno;
        if (kept)
            unlink(keep);
        errno = error;
        return false;
    }
    int was = f->published;
    f->published = f->spare;
    if (kept) {
        f->spare = was;
        snprintf(f->spareName, sizeof(f->spareName), "%s", keep);
        return true;
    }
    // The path no longer named our file (removed by hand): a new spare, if there is room.
    close(was);
    f->spare = CreateSpare(f, bytes);
    return true;
}

bool ReservedFileStands(const ReservedFile* f)
{
    return f->published >= 0 && SameFile(f->published, f->path);
}

void ReservedFileClose(ReservedFile* f)
{
    if (f->spare >= 0) {
        if (SameFile(f->spare, f->spareName))
            unlink(f->spareName);
        close(f->spare);
    }
    if (f->published >= 0)
        close(f->published);
    f->published = f->spare = -1;
}

void FolderOf(const char* path, char* folder, size_t size, const char** name)
{
    const char* slash = strrchr(path, '/');
    if (slash == NULL)
        snprintf(folder, size, ".");
    else
        snprintf(folder, size, "%.*s", slash == path ? 1 : (int)(slash - path), path);
    *name = slash != NULL ? slash + 1 : path;
}

void RemoveLeftoverTemporaries(const char* path)
{
    char folder[PATH_MAX], prefix[PATH_MAX];
    const char* name;
    FolderOf(path, folder, sizeof(folder), &name);
    snprintf(prefix, sizeof(prefix), "%s%s", name, kTemporaryMark);
    size_t prefixLength = strlen(prefix);
    DIR* dir = opendir(folder);
    if (dir == NULL)
        return;
    for (struct dirent* e; (e = readdir(dir)) != NULL;) {
        if (strncmp(e->d_name, prefix, prefixLength) != 0 || strlen(e->d_name) != prefixLength + 6)
            continue;
        struct stat st;
        if (fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == geteuid())
            unlinkat(dirfd(dir), e->d_name, 0);
    }
    closedir(dir);
}
