#include "FileHolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The process's effective user id, from the second number of its "Uid:" line.
bool EffectiveUid(int proc, const char* pid, uid_t* uid)
{
    char path[NAME_MAX + 16], text[4096];
    snprintf(path, sizeof(path), "%s/status", pid);
    int fd = openat(proc, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t n = read(fd, text, sizeof(text) - 1);
    close(fd);
    text[n > 0 ? n : 0] = '\0';
    const char* line = strstr(text, "\nUid:");
    unsigned real, effective;
    if (line == NULL || sscanf(line, "\nUid: %u %u", &real, &effective) != 2)
        return false;
    *uid = (uid_t)effective;
    return true;
}

// Whether process `pid` has the file open: each of its descriptors, looked through.
bool HasOpen(int proc, const char* pid, dev_t dev, ino_t ino)
{
    char path[NAME_MAX + 16];
    snprintf(path, sizeof(path), "%s/fd", pid);
    int fds = openat(proc, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fds < 0)
        return false; // gone, or another user's
    DIR* dir = fdopendir(fds);
    if (dir == NULL) {
        close(fds);
        return false;
    }
    bool found = false;
    while (struct dirent* e = readdir(dir)) {
        struct stat st;
        if (e->d_name[0] != '.' && fstatat(fds, e->d_name, &st, 0) == 0 && st.st_dev == dev && st.st_ino == ino) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

} // namespace

bool VemiFileHolders(int fd, uid_t user, long named, FileHolders* out)
{
    *out = FileHolders();
    struct stat file;
    if (fstat(fd, &file) != 0)
        return false;
    int proc = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0)
        return false;
    // A /proc that does not show this process is not the processes' file system.
    long self = (long)getpid();
    char own[32];
    snprintf(own, sizeof(own), "%ld/fd", self);
    DIR* dir = faccessat(proc, own, F_OK, 0) == 0 ? fdopendir(proc) : NULL;
    if (dir == NULL) {
        close(proc);
        return false;
    }
    while (struct dirent* e = readdir(dir)) {
        char* end;
        long pid = strtol(e->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self || !HasOpen(proc, e->d_name, file.st_dev, file.st_ino))
            continue;
        uid_t uid;
        if (EffectiveUid(proc, e->d_name, &uid) && uid == user)
            out->byUser = true;
        if (pid == named)
            out->named = pid;
        if (out->first == 0 || pid < out->first)
            out->first = pid;
    }
    closedir(dir);
    return true;
}
