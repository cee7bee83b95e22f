// The transport answered in-process by a board model, in place of the ioctl.
#include <errno.h>
#include <fcntl.h>

#include "InProcessChannel.h"

namespace {

int OpenNode(void* context, const char*)
{
    if (context == nullptr) {
        errno = ENOENT;
        return -1;
    }
    static int node = open("/dev/null", O_RDWR | O_CLOEXEC); // a descriptor of its own, as a node has
    return node;
}

uint32_t Answer(void* context, int, vemix_struct* request)
{
    return BoardRequest((BoardModel*)context, request);
}

} // namespace

VemiTransport SimTransport(BoardModel* model)
{
    return {model, OpenNode, Answer};
}
