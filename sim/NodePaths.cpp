#include "NodePaths.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "MachinePaths.h"
#include "VemiRequest.h"

namespace {

const int kMaxLinks = 40;

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `dirfd` (or the working folder) is the folder `folder`.
bool FolderIs(int dirfd, const char* folder)
{
    struct stat at, want;
    int rc = dirfd == AT_FDCWD ? stat(".", &at) : fstat(dirfd, &at);
    return rc == 0 && stat(folder, &want) == 0 && SameFile(at, want);
}

// `path` with its "." and ".." parts and repeated slashes taken out, lexically.
std::string Lexical(const std::string& path)
{
    std::string out;
    for (size_t at = 0; at < path.size();) {
        size_t end = path.find('/', at);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            size_t slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
            continue;
        }
        out += "/" + part;
    }
    return out.empty() ? "/" : out;
}

// The absolute path `path` leads to, its symbolic links followed where they exist;
// a part that does not exist is taken as written.
std::string Resolved(const std::string& path)
{
    std::string done, rest = path;
    for (int links = 0; !rest.empty();) {
        size_t start = rest.find_first_not_of('/');
        if (start == std::string::npos)
            break;
        size_t end = rest.find('/', start);
        std::string part = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        rest = end == std::string::npos ? "" : rest.substr(end);
        std::string next = Lexical(done + "/" + part);
        char target[PATH_MAX];
        ssize_t n = part == ".." || part == "." ? -1 : readlink(next.c_str(), target, sizeof(target) - 1);
        if (n <= 0 || ++links > kMaxLinks) {
            done = next;
            continue;
        }
        target[n] = '\0';
        rest = std::string(target) + rest;
        if (target[0] == '/')
            done.clear();
    }
    return Lexical(done);
}

// `path` as absolute, from `dirfd` or the working folder; empty when that cannot be told.
std::string Absolute(int dirfd, const char* path)
{
    if (path[0] == '/')
        return path;
    if (dirfd != AT_FDCWD)
        return FolderIs(dirfd, "/dev") ? std::string("/dev/") + path : std::string();
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof(cwd)) != nullptr ? std::string(cwd) + "/" + path : std::string();
}

const char* const kMachinePaths[] = {VEMI_WATCHDOG_LOCK, VEMID_PLAIN_PIDFILE, VEMI_NUT_STATE_PATH};

} // namespace

bool IsDevicePathAt(int dirfd, const char* path)
{
    if (path == nullptr || *path == '\0')
        return false;
    std::string absolute = Absolute(dirfd, path);
    if (absolute.empty())
        return false;
    std::string lexical = Lexical(absolute);
    if (lexical == VEMI_DEVICE_PATH)
        return true;
    // Links are looked at only where they could lead there: a name "vemix", or a
    // path that is itself a link. Other paths cost no more than this.
    struct stat st;
    bool named = lexical.size() >= 6 && lexical.compare(lexical.size() - 6, 6, "/vemix") == 0;
    if (!named && (lstat(lexical.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)))
        return false;
    return Resolved(absolute) == VEMI_DEVICE_PATH;
}

const char* MachinePathAt(int dirfd, const char* path)
{
    static const char* run = getenv("VEMISIM_RUN");
    if (path == nullptr || run == nullptr || *run == '\0')
        return path;
    static thread_local char mapped[PATH_MAX];
    for (const char* machine : kMachinePaths) {
        const char* name = strrchr(machine, '/') + 1;
        size_t n = strlen(machine);
        const char* below = nullptr;
        if (path[0] == '/' && strncmp(path, machine, n) == 0 && (path[n] == '\0' || path[n] == '/')) {
            below = path + n;
        } else if (path[0] != '/' && strcmp(path, name) == 0) {
            // A name in the machine path's folder, reached some other way (the lock's
            // own walk of its folder).
            std::string folder(machine, (size_t)(name - 1 - machine));
            if (FolderIs(dirfd, folder.c_str()))
                below = "";
        }
        if (below != nullptr) {
            snprintf(mapped, sizeof(mapped), "%s/%s%s", run, name, below);
            return mapped;
        }
    }
    return path;
}
