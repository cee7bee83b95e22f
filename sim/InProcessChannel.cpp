// Same contract and traces as the channel over the ioctl; only the transport differs.
#include <errno.h>
#include <stdio.h>

#include "../src/interface/VemiInterface.h"
#include "InProcessChannel.h"

int gVemix_dev = 0;
static BoardModel* sModel = nullptr;

void SimChannelAttach(BoardModel* model)
{
    sModel = model;
    gVemix_dev = 0;
}

int32_t VemiInit(void)
{
    gVemix_dev = sModel != nullptr ? 3 : -1;
    if (gVemix_dev == -1) {
        printf("Open '%s' failed\n", VEMI_DEVICE_PATH);
        return -1;
    }
    return 0;
}

uint32_t VemiIoCall(uint32_t indexGroup, uint32_t indexOffset, void* inBuffer,
                    uint32_t inBufferLen, void* outBuffer, uint32_t outBufferLen,
                    uint32_t* bytesReturned)
{
    vemix_struct request(indexGroup, indexOffset, inBuffer, inBufferLen, outBuffer,
                         outBufferLen, bytesReturned, NULL);
    if (gDebugMode)
        printf("VemiIoCall\n");
    uint32_t status = BoardRequest(sModel, &request);
    if (status == 0)
        return VEMI_SUCCESS;
    errno = (int)status;
    if (gDebugMode)
        printf("VemiCall failed with status %X, errno %X\n", (unsigned)-1, status);
    return status;
}

int32_t VemiClose(void)
{
    if (gDebugMode)
        printf("Close\n");
    return 0;
}
