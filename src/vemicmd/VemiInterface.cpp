// The tool's words about its channel, the same over every transport: the open
// message, the debug lines, and the wording of a request's outcome.
#include "VemiInterface.h"

#include <stdio.h>

#include "Outcome.h"
#include "RunState.h"

namespace {

FILE* ChannelOut(void)
{
    return gRun.channelToStderr ? StreamErr(&gRun.streams) : StreamOut(&gRun.streams);
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
bool gDebugMode = false;

VemiChannel VemiToolChannel(void)
{
    VemiChannel channel = {gRun.transport, gVemix_dev, TraceRequest, TraceFailure};
    return channel;
}

int32_t VemiInit(void)
{
    VemiChannel channel = VemiToolChannel();
    gRun.openError = VemiChannelOpen(&channel, VEMI_DEVICE_PATH);
    gVemix_dev = channel.fd;
    if (gRun.openError != 0) {
        if (!gRun.openFailureInDocument)
            fprintf(ChannelOut(), "Open '%s' failed\n", VEMI_DEVICE_PATH);
        return (int32_t)VEMI_OPEN_FAILED;
    }
    return 0;
}

uint32_t VemiIoCall(uint32_t indexGroup, uint32_t indexOffset, void* inBuffer,
                    uint32_t inBufferLen, void* outBuffer, uint32_t outBufferLen,
                    uint32_t* bytesReturned)
{
    VemiChannel channel = VemiToolChannel();
    return VemiChannelRequest(&channel, indexGroup, indexOffset, inBuffer, inBufferLen, outBuffer, outBufferLen,
                              bytesReturned);
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
    if (gRun.errorSink != NULL)
        gRun.errorSink(what, status, line);
    else
        fprintf(StreamOut(&gRun.streams), "%s\n", line);
}
