// Linux: process_vm_readv/writev on the own process fail with EFAULT on a bad
// address instead of faulting, which is exactly a kernel's copyin/copyout. Where
// they are refused, the pipe method checks as well, only slower.
#include <errno.h>
#include <sys/uio.h>
#include <unistd.h>

#include "AddressCheck.h"

static bool CopyChecked(void* dst, const void* src, size_t len, bool toCaller)
{
    if (len == 0)
        return true;
    if (dst == NULL || src == NULL)
        return false;
    char* d = (char*)dst;
    const char* s = (const char*)src;
    while (len > 0) {
        struct iovec local, remote;
        if (toCaller) {
            local = {(void*)s, len};
            remote = {d, len};
        } else {
            local = {d, len};
            remote = {(void*)s, len};
        }
        ssize_t n = toCaller ? process_vm_writev(getpid(), &local, 1, &remote, 1, 0)
                             : process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
        if (n < 0 && (errno == ENOSYS || errno == EPERM)) // refused (seccomp, old kernel)
            return CopyThroughPipe(d, s, len);
        if (n <= 0)
            return false;
        d += n;
        s += n;
        len -= (size_t)n;
    }
    return true;
}

bool CopyFromCaller(void* dst, const void* callerSrc, size_t len)
{
    return CopyChecked(dst, callerSrc, len, false);
}

bool CopyToCaller(void* callerDst, const void* src, size_t len)
{
    return CopyChecked(callerDst, src, len, true);
}
