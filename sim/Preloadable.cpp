#include "Preloadable.h"

#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const uint32_t kInterpreterSegment = 3; // PT_INTERP: the dynamic loader's name

uint64_t Little(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; i--)
        v = v << 8 | p[i];
    return v;
}

// For an ELF file: whether it names a dynamic loader (a 32-bit one cannot load this
// 64-bit library either). Null when it does, or the file is not ELF.
const char* ElfReason(int fd)
{
    unsigned char h[64];
    if (pread(fd, h, sizeof(h), 0) != (ssize_t)sizeof(h) || memcmp(h, "\177ELF", 4) != 0)
        return nullptr;
    if (h[4] != 2)
        return "a 32-bit program";
    uint64_t at = Little(h + 32, 8);
    unsigned size = (unsigned)Little(h + 54, 2), count = (unsigned)Little(h + 56, 2);
    for (unsigned i = 0; i < count && size >= 4; i++) {
        unsigned char type[4];
        if (pread(fd, type, 4, (off_t)(at + (uint64_t)i * size)) != 4)
            return nullptr;
        if (Little(type, 4) == kInterpreterSegment)
            return nullptr;
    }
    return "statically linked";
}

} // namespace

const char* WhyNotPreloadable(const char* path)
{
    for (int depth = 0; depth < 4; depth++) { // a script's interpreter, and its own
        int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        struct stat st;
        const char* why = nullptr;
        if (fstat(fd, &st) == 0 && (st.st_mode & S_ISUID) && st.st_uid != getuid())
            why = "set-user-ID";
        else if (fstat(fd, &st) == 0 && (st.st_mode & S_ISGID) && st.st_gid != getgid())
            why = "set-group-ID";
        else
            why = ElfReason(fd);
        char head[256];
        ssize_t n = why == nullptr ? pread(fd, head, sizeof(head) - 1, 0) : 0;
        close(fd);
        if (why != nullptr || n < 3 || head[0] != '#' || head[1] != '!')
            return why;
        head[n] = '\0';
        char* start = head + 2 + strspn(head + 2, " \t");
        start[strcspn(start, " \t\n")] = '\0';
        static thread_local char interpreter[256];
        memcpy(interpreter, start, strlen(start) + 1);
        path = interpreter;
    }
    return nullptr;
}

bool FindProgram(const char* file, char* out, unsigned size)
{
    if (strchr(file, '/') != nullptr) {
        if (strlen(file) >= size)
            return false;
        memcpy(out, file, strlen(file) + 1);
        return true;
    }
    const char* path = getenv("PATH");
    if (path == nullptr)
        path = "/bin:/usr/bin";
    for (const char* p = path;; p++) {
        size_t n = strcspn(p, ":");
        size_t name = strlen(file);
        if (n + 1 + name < size) {
            memcpy(out, n == 0 ? "." : p, n == 0 ? 1 : n);
            size_t at = n == 0 ? 1 : n;
            out[at] = '/';
            memcpy(out + at + 1, file, name + 1);
            if (access(out, X_OK) == 0)
                return true;
        }
        p += n;
        if (*p == '\0')
            return false;
    }
}
