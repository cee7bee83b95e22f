// The driver channel's policy, the same over every transport: the open message,
// the debug lines, the status code, and the wording of a request's outcome.
#include <errno.h>
#include <stdio.h>

#include "VemiInterface.h"
#include "VemiTransport.h"

int gVemix_dev = 0;
bool gDebugMode = false;
bool gVemiOutToStderr = false;
bool gVemiOpenMessage = true;
int gVemiOpenError = 0;
void (*gVemiErrorSink)(const char* what, uint32_t status, const char* line) = NULL;

static FILE* ChannelOut(void)
{
    return gVemiOutToStderr ? stderr : stdout; // looked up each time: the watchdog test swaps them
}

int32_t VemiInit(void)
{
    gVemix_dev = VemiTransportOpen(VEMI_DEVICE_PATH);
    gVemiOpenError = gVemix_dev == -1 ? errno : 0; // before anything printed can change it
    if (gVemix_dev == -1) {
        if (gVemiOpenMessage)
            fprintf(ChannelOut(), "Open '%s' failed\n", VEMI_DEVICE_PATH);
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
        fprintf(ChannelOut(), "VemiIoCall\n");
    uint32_t status = VemiTransportRequest(gVemix_dev, &request);
    // A failed ioctl returns -1; the trace shows that and the error number it left.
    if (status != VEMI_SUCCESS && gDebugMode)
        fprintf(ChannelOut(), "VemiCall failed with status %X, errno %X\n", (unsigned)-1, status);
    return status;
}

int32_t VemiClose(void)
{
    if (gDebugMode)
        fprintf(ChannelOut(), "Close\n");
    return 0;
}

void PrintVemiError(const char* what, uint32_t status)
{
    if (what == NULL)
        return;
    char line[256];
    switch (status) {
    case VEMI_SUCCESS:
        snprintf(line, sizeof(line), "%s succeeded\n", what);
        break;
    case VEMI_NOT_SUPPORTED:
        snprintf(line, sizeof(line), "Function %s not supported\n", what);
        break;
    case VEMI_DEVICE_BUSY:
        snprintf(line, sizeof(line), "Function %s failed: Device Busy\n", what);
        break;
    default:
        snprintf(line, sizeof(line), "%s failed with error 0x%04X\n", what, status);
        break;
    }
    if (gVemiErrorSink != NULL)
        gVemiErrorSink(what, status, line);
    else
        fputs(line, stdout);
}
