// The transport answered in-process by a board model, in place of the ioctl.
#include <errno.h>
#include <fcntl.h>

#include "InProcessChannel.h"
#include "VemiTransport.h"

static BoardModel* sModel = nullptr;

void SimChannelAttach(BoardModel* model)
{
    sModel = model;
}

int VemiTransportOpen(const char*)
{
    if (sModel == nullptr) {
        errno = ENOENT;
        return -1;
    }
    static int node = open("/dev/null", O_RDWR | O_CLOEXEC); // a descriptor of its own, as a node has
    return node;
}

uint32_t VemiTransportRequest(int, vemix_struct* request)
{
    return BoardRequest(sModel, request);
}
