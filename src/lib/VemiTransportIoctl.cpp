// The transport over the device node and its one read-write ioctl. Uses only open,
// ioctl and errno, so the same file builds on FreeBSD and on Linux.
#include <errno.h>
#include <fcntl.h>
#include <sys/ioctl.h>

#include "VemiStatus.h"
#include "VemiTransport.h"

#ifdef __FreeBSD__
#include <sys/ioccom.h>
static_assert(VEMI_IOCTL_REQUEST == _IOWR('R', 1, struct vemix_struct),
              "the request number is FreeBSD's read-write ioctl 'R' 1 on vemix_struct");
#endif

namespace {

// Closed on exec: a command a program starts has no business with the node.
int OpenNode(void*, const char* path)
{
    return open(path, O_RDWR | O_CLOEXEC);
}

// A request interrupted by a signal is asked again, as SA_RESTART would have the
// kernel do: EINTR is no answer of the driver's.
uint32_t Ioctl(void*, int fd, vemix_struct* request)
{
    while (ioctl(fd, VEMI_IOCTL_REQUEST, request) != 0)
        if (errno != EINTR)
            return (uint32_t)errno;
    return VEMI_SUCCESS;
}

} // namespace

const VemiTransport kVemiIoctlTransport = {nullptr, OpenNode, Ioctl};
