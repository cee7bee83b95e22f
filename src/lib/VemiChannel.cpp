#include "VemiChannel.h"

#include <errno.h>
#include <fcntl.h>

#include "VemiTransport.h"

int VemiChannelOpen(VemiChannel* channel, const char* path)
{
    *channel->fd = VemiTransportOpen(path);
    if (*channel->fd == -1)
        return errno != 0 ? errno : EIO;
    fcntl(*channel->fd, F_SETFD, FD_CLOEXEC); // a command a program starts has no business with it
    return 0;
}

uint32_t VemiChannelRequest(VemiChannel* channel, uint32_t group, uint32_t offset, void* in, uint32_t inLen,
                            void* out, uint32_t outLen, uint32_t* returned)
{
    vemix_struct request(group, offset, in, inLen, out, outLen, returned, NULL);
    uint32_t status = channel->beforeRequest != NULL ? channel->beforeRequest() : 0;
    if (status == 0)
        status = VemiTransportRequest(*channel->fd, &request);
    if (status != 0 && channel->afterFailure != NULL)
        channel->afterFailure(status);
    return status;
}
