// The driver channel over the device node and its one read-write ioctl. Uses only
// open, ioctl and errno, so the same file builds on FreeBSD and on Linux.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/ioctl.h>

#include "VemiInterface.h"

int gVemix_dev = 0;

int32_t VemiInit(void)
{
    gVemix_dev = open(VEMI_DEVICE_PATH, O_RDWR);
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
    int rc = ioctl(gVemix_dev, VEMI_IOCTL_REQUEST, &request);
    if (rc == 0)
        return VEMI_SUCCESS;
    // Taken before printing: the trace must not change the status it reports.
    int error = errno;
    if (gDebugMode)
        printf("VemiCall failed with status %X, errno %X\n", (unsigned)rc, (unsigned)error);
    return (uint32_t)error;
}

int32_t VemiClose(void)
{
    if (gDebugMode)
        printf("Close\n");
    return 0;
}
