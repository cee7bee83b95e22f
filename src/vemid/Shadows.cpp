#include "Shadows.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Log.h"
#include "ReservedFile.h"

namespace {

const size_t kReadLimit = 4u << 20;   // a file larger than this is looked at this far
const int64_t kLogAgainMs = 3600000;  // a finding that stands is logged again hourly

bool NamesVemiFamily(const char* head, size_t length)
{
    static const char* const starts[] = {"vemi_", "# HELP vemi_", "# TYPE vemi_"};
    for (const char* s : starts)
        if (length >= strlen(s) && memcmp(head, s, strlen(s)) == 0)
            return true;
    return false;
}

// Whether a line of the file begins with a vemi_ sample or family.
bool HoldsVemiSeries(int fd)
{
    char block[4096], head[16];
    size_t headLength = 0, total = 0;
    bool inHead = true;
    for (ssize_t n; total < kReadLimit && ((n = read(fd, block, sizeof(block))) > 0 || (n < 0 && errno == EINTR));) {
        for (ssize_t i = 0; i < n; i++) {
            if (block[i] == '\n') {
                if (inHead && NamesVemiFamily(head, headLength))
                    return true;
                headLength = 0;
                inHead = true;
            } else if (inHead) {
                head[headLength++] = block[i];
                if (headLength == sizeof(head)) {
                    if (NamesVemiFamily(head, headLength))
                        return true;
                    inHead = false;
                }
            }
        }
        total += n > 0 ? (size_t)n : 0;
    }
    return inHead && NamesVemiFamily(head, headLength);
}

bool EndsInProm(const char* name)
{
    size_t n = strlen(name);
    return n > 5 && strcmp(name + n - 5, ".prom") == 0;
}

// The file's finding: remembered while it is unchanged, read again otherwise.
bool Shadows(const ShadowWatch* w, const char* folder, const char* name, const struct stat* st)
{
    for (int i = 0; i < w->seenCount; i++) {
        const ShadowWatch::Seen& s = w->seen[i];
        if (s.dev == st->st_dev && s.ino == st->st_ino && s.size == st->st_size &&
            s.mtime.tv_sec == st->st_mtim.tv_sec && s.mtime.tv_nsec == st->st_mtim.tv_nsec)
            return s.shadows;
    }
    // No waiting on a FIFO or a device put there in the meantime, no link followed.
    char path[PATH_MAX];
    if (snprintf(path, sizeof(path), "%s/%s", folder, name) >= (int)sizeof(path))
        return false;
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat opened;
    bool shadows = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_ino == st->st_ino &&
                   opened.st_dev == st->st_dev &&
                   HoldsVemiSeries(fd);
    close(fd);
    return shadows;
}

void LogFinding(ShadowWatch* w, const char* path, int64_t nowMs)
{
    char list[kShadowNamesLogged * 66 + 16] = "";
    for (unsigned i = 0; i < w->count && i < (unsigned)kShadowNamesLogged; i++)
        snprintf(list + strlen(list), sizeof(list) - strlen(list), "%s%s", i ? ", " : "", w->names[i]);
    if (w->count > (unsigned)kShadowNamesLogged)
        snprintf(list + strlen(list), sizeof(list) - strlen(list), " and %u more", w->count - kShadowNamesLogged);
    Log(kLogWarning, "%s: %s in its folder also %s vemi_ series, which node_exporter serves from one file alone: "
                     "one producer per board (see vemid(8))", path, list, w->count == 1 ? "writes" : "write");
    w->lastLogMs = nowMs;
}

} // namespace

void ShadowsScan(ShadowWatch* w, const char* path, int64_t nowMs)
{
    char folder[PATH_MAX], names[kShadowNamesLogged][64];
    const char* own;
    FolderOf(path, folder, sizeof(folder), &own);
    DIR* dir = opendir(folder);
    if (dir == NULL)
        return; // the metrics file's own write says what is wrong with its folder
    ShadowWatch::Seen seen[kShadowFilesKept];
    int seenCount = 0;
    unsigned count = 0;
    bool changed = false;
    for (struct dirent* e; (e = readdir(dir)) != NULL;) {
        struct stat st;
        if (!EndsInProm(e->d_name) || strcmp(e->d_name, own) == 0 ||
            fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        bool shadows = Shadows(w, folder, e->d_name, &st);
        if (seenCount < kShadowFilesKept)
            seen[seenCount++] = {st.st_dev, st.st_ino, st.st_size, st.st_mtim, shadows};
        if (!shadows)
            continue;
        if (count < (unsigned)kShadowNamesLogged) {
            snprintf(names[count], sizeof(names[count]), "%.63s", e->d_name);
            changed = changed || count >= w->count || strcmp(names[count], w->names[count]) != 0;
        }
        count++;
    }
    closedir(dir);
    changed = changed || count != w->count;
    memcpy(w->seen, seen, sizeof(seen[0]) * (size_t)seenCount);
    w->seenCount = seenCount;
    w->count = count;
    memcpy(w->names, names, sizeof(names));
    if (count != 0 && (changed || nowMs - w->lastLogMs >= kLogAgainMs))
        LogFinding(w, path, nowMs);
    else if (count == 0 && changed)
        Log(kLogNotice, "%s: no other file in its folder writes vemi_ series now", path);
}
