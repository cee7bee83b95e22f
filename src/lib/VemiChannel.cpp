#include "VemiChannel.h"

#include <errno.h>
#include <fcntl.h>

VemiChannel VemiChannelOn(const VemiTransport* transport)
{
    VemiChannel channel = {transport, -1, nullptr, nullptr};
    return channel;
}

int VemiChannelOpen(VemiChannel* channel, const char* path)
{
    errno = 0;
    channel->fd = channel->transport->open(channel->transport->context, path);
    if (channel->fd == -1)
        return errno != 0 ? errno : EIO;
    return 0;
}

uint32_t VemiChannelRequest(VemiChannel* channel, uint32_t group, uint32_t offset, void* in, uint32_t inLen,
                            void* out, uint32_t outLen, uint32_t* returned)
{
    vemix_struct request(group, offset, in, inLen, out, outLen, returned, NULL);
    if (channel->beforeRequest != NULL)
        channel->beforeRequest();
    uint32_t status = channel->transport->request(channel->transport->context, channel->fd, &request);
    if (status != 0 && channel->afterFailure != NULL)
        channel->afterFailure(status);
    return status;
}
