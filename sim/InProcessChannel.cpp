// The transport answered in-process by a board model, in place of the ioctl.
#include <errno.h>

#include "InProcessChannel.h"
#include "VemiTransport.h"

static BoardModel* sModel = nullptr;

void SimChannelAttach(BoardModel* model)
{
    sModel = model;
    gVemix_dev = 0;
}

int VemiTransportOpen(const char*)
{
    if (sModel == nullptr) {
        errno = ENOENT;
        return -1;
    }
    return 3;
}

uint32_t VemiTransportRequest(int, vemix_struct* request)
{
    return BoardRequest(sModel, request);
}
