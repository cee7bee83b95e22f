#include "TrustedFolder.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kMaxLinks = 32; // as the kernels allow on one path

struct Walk {
    int fd = -1;
    char walked[PATH_MAX] = ""; // the folders walked, as the refusals name them
    char pending[2 * PATH_MAX] = ""; // the components still to walk, '/' between them
    int links = 0;
    char* why;
    size_t whySize;
};

int Refuse(Walk* w, const char* component, const char* reason)
{
    if (w->fd >= 0)
        close(w->fd);
    snprintf(w->why, w->whySize, "%s: %s", component, reason);
    return -1;
}

// The walked path with `component` after it, as a refusal names it; false when
// that is longer than a path may be.
bool Named(const Walk* w, const char* component, char* text, size_t size)
{
    size_t n = strlen(w->walked);
    const char* slash = n == 0 || w->walked[n - 1] == '/' ? "" : "/";
    int length = snprintf(text, size, "%s%s%s", w->walked, slash, component);
    return length >= 0 && (size_t)length < size;
}

bool Trusted(uid_t owner)
{
    return owner == 0 || owner == geteuid();
}

// Takes `fd` as the folder walked into, named `named`, if no other user can change it.
bool Enter(Walk* w, int fd, const char* named)
{
    struct stat st;
    char reason[64];
    if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode))
        snprintf(reason, sizeof(reason), "not a folder");
    else if (!Trusted(st.st_uid))
        snprintf(reason, sizeof(reason), "a folder owned by uid %u", (unsigned)st.st_uid);
    else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0)
        snprintf(reason, sizeof(reason), "a folder others may write to, without the sticky bit");
    else
        reason[0] = '\0';
    if (w->fd >= 0)
        close(w->fd);
    w->fd = fd;
    if (reason[0] != '\0') {
        Refuse(w, named, reason);
        return false;
    }
    snprintf(w->walked, sizeof(w->walked), "%s", named);
    return true;
}

bool Start(Walk* w, bool absolute)
{
    int fd = open(absolute ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Refuse(w, absolute ? "/" : ".", strerror(errno));
        return false;
    }
    if (!Enter(w, fd, absolute ? "/" : "."))
        return false;
    if (!absolute)
        w->walked[0] = '\0'; // components below it are named as the path names them
    return true;
}

// Puts `text` before the components still to walk.
bool Prepend(Walk* w, const char* text)
{
    char joined[sizeof(w->pending)];
    int n = snprintf(joined, sizeof(joined), "%s/%s", text, w->pending);
    if (n < 0 || (size_t)n >= sizeof(joined))
        return false;
    memcpy(w->pending, joined, (size_t)n + 1);
    return true;
}

// Takes the first component off the pending ones: 1, or 0 when none is left, or
// -1 for one too long for a name.
int NextComponent(Walk* w, char* component, size_t size)
{
    const char* p = w->pending;
    for (;;) {
        p += strspn(p, "/");
        size_t n = strcspn(p, "/");
        if (n == 0)
            return 0;
        if (n == 1 && p[0] == '.') {
            p++;
            continue;
        }
        if (n >= size)
            return -1;
        memcpy(component, p, n);
        component[n] = '\0';
        memmove(w->pending, p + n, strlen(p + n) + 1);
        return 1;
    }
}

// A component that is a symbolic link: followed when root or this user owns it.
bool Follow(Walk* w, const char* component, const char* named)
{
    struct stat st;
    if (fstatat(w->fd, component, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode))
        return Refuse(w, named, "not a folder"), false;
    char reason[64];
    if (!Trusted(st.st_uid)) {
        snprintf(reason, sizeof(reason), "a symbolic link owned by uid %u", (unsigned)st.st_uid);
        return Refuse(w, named, reason), false;
    }
    if (++w->links > kMaxLinks)
        return Refuse(w, named, strerror(ELOOP)), false;
    char target[PATH_MAX];
    ssize_t n = readlinkat(w->fd, component, target, sizeof(target) - 1);
    if (n <= 0)
        return Refuse(w, named, n == 0 ? strerror(ENOENT) : strerror(errno)), false;
    target[n] = '\0';
    if (!Prepend(w, target))
        return Refuse(w, named, strerror(ENAMETOOLONG)), false;
    return target[0] == '/' ? Start(w, true) : true;
}

} // namespace

int TrustedFolderOpen(const char* path, char* name, size_t nameSize, char* why, size_t whySize)
{
    Walk w;
    w.why = why;
    w.whySize = whySize;
    const char* last = strrchr(path, '/');
    last = last != NULL ? last + 1 : path;
    if (*last == '\0' || strcmp(last, ".") == 0 || strcmp(last, "..") == 0 || strlen(last) >= nameSize)
        return Refuse(&w, path, "not a file's name");
    size_t folderLength = (size_t)(last - path);
    if (folderLength >= sizeof(w.pending))
        return Refuse(&w, path, strerror(ENAMETOOLONG));
    memcpy(w.pending, path, folderLength);
    w.pending[folderLength] = '\0';
    snprintf(name, nameSize, "%s", last);
    if (!Start(&w, path[0] == '/'))
        return -1;
    char component[NAME_MAX + 1], named[sizeof(w.walked) + sizeof(component) + 1];
    int next;
    while ((next = NextComponent(&w, component, sizeof(component))) > 0) {
        if (!Named(&w, component, named, sizeof(w.walked)))
            return Refuse(&w, path, strerror(ENAMETOOLONG));
        int fd = openat(w.fd, component, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            if (!Enter(&w, fd, named))
                return -1;
            continue;
        }
        // FreeBSD says EMLINK where Linux says ELOOP: a link not followed.
        if (errno != ELOOP && errno != EMLINK && errno != ENOTDIR)
            return Refuse(&w, named, strerror(errno));
        if (!Follow(&w, component, named))
            return -1;
    }
    if (next < 0)
        return Refuse(&w, path, strerror(ENAMETOOLONG));
    return w.fd;
}
