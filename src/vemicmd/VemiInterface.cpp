// The tool's words about its channel, the same over every transport: the open
// message, the debug lines, and the wording of a request's outcome.
#include "VemiInterface.h"

#include <stdio.h>

#include "Outcome.h"

namespace {

FILE* ChannelOut(void)
{
    return gVemiOutToStderr ? stderr : stdout; // looked up each time: the watchdog test swaps them
}

void TraceRequest(void)
{
    if (gDebugMode)
        fprintf(ChannelOut(), "VemiIoCall\n");
}

// A failed ioctl returns -1; the trace shows that and the error number it left.
void TraceFailure(uint32_t status)
{
    if (gDebugMode)
        fprintf(ChannelOut(), "VemiCall failed with status %X, errno %X\n", (unsigned)-1, status);
}

} // namespace

int gVemix_dev = 0;
VemiChannel gVemiChannel = {nullptr, -1, TraceRequest, TraceFailure};
bool gDebugMode = false;
bool gVemiOutToStderr = false;
bool gVemiOpenMessage = true;
int gVemiOpenError = 0;
void (*gVemiErrorSink)(const char* what, uint32_t status, const char* line) = NULL;

int32_t VemiInit(void)
{
    gVemiOpenError = VemiChannelOpen(&gVemiChannel, VEMI_DEVICE_PATH);
    gVemix_dev = gVemiChannel.fd;
    if (gVemiOpenError != 0) {
        if (gVemiOpenMessage)
            fprintf(ChannelOut(), "Open '%s' failed\n", VEMI_DEVICE_PATH);
        return (int32_t)VEMI_OPEN_FAILED;
    }
    return 0;
}

uint32_t VemiIoCall(uint32_t indexGroup, uint32_t indexOffset, void* inBuffer,
                    uint32_t inBufferLen, void* outBuffer, uint32_t outBufferLen,
                    uint32_t* bytesReturned)
{
    return VemiChannelRequest(&gVemiChannel, indexGroup, indexOffset, inBuffer, inBufferLen, outBuffer,
                              outBufferLen, bytesReturned);
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
    FormatOutcome(line, sizeof(line), what, status);
    if (gVemiErrorSink != NULL)
        gVemiErrorSink(what, status, line);
    else
        printf("%s\n", line);
}

void VemiUseTransport(const VemiTransport* transport)
{
    gVemiChannel.transport = transport;
}

void ResetVemiInterface(void)
{
    gVemix_dev = 0;
    gVemiChannel.fd = -1;
    gDebugMode = false;
    gVemiOutToStderr = false;
    gVemiOpenMessage = true;
    gVemiOpenError = 0;
    gVemiErrorSink = NULL;
}
