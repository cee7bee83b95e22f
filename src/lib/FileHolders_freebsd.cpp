#include "FileHolders.h"

#include <stdlib.h>
#include <sys/types.h>
#include <sys/file.h>
#include <sys/sysctl.h>
#include <unistd.h>

namespace {

// The kernel's table of open files, one entry per descriptor of each process this
// one may see, in a buffer of the caller's to free; null when it cannot be had.
struct xfile* FileTable(size_t* count)
{
    int mib[] = {CTL_KERN, KERN_FILE};
    for (int attempt = 0; attempt < 4; attempt++) { // it may grow between the two calls
        size_t size = 0;
        if (sysctl(mib, 2, NULL, &size, NULL, 0) != 0)
            return NULL;
        size += size / 4 + 16 * sizeof(struct xfile);
        struct xfile* table = (struct xfile*)malloc(size);
        if (table == NULL)
            return NULL;
        if (sysctl(mib, 2, table, &size, NULL, 0) == 0 && (size == 0 || table[0].xf_size == sizeof(*table))) {
            *count = size / sizeof(*table);
            return table;
        }
        free(table);
    }
    return NULL;
}

} // namespace

bool VemiFileHolders(int fd, uid_t user, long named, FileHolders* out)
{
    *out = FileHolders();
    size_t count = 0;
    struct xfile* table = FileTable(&count);
    if (table == NULL)
        return false;
    // The file is known by its vnode, as this process's own descriptor shows it.
    pid_t self = getpid();
    kvaddr_t vnode = 0;
    for (size_t i = 0; i < count && vnode == 0; i++)
        if (table[i].xf_pid == self && table[i].xf_fd == fd)
            vnode = table[i].xf_vnode;
    for (size_t i = 0; i < count && vnode != 0; i++) {
        pid_t pid = table[i].xf_pid;
        if (pid == self || table[i].xf_vnode != vnode)
            continue;
        if (table[i].xf_uid == user)
            out->byUser = true;
        if (pid == named)
            out->named = pid;
        if (out->first == 0 || pid < out->first)
            out->first = pid;
    }
    free(table);
    return vnode != 0;
}
