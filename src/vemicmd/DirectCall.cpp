// The direct call: one arbitrary request, values from the command line or prompts,
// result and both buffers shown.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Commands.h"
#include "InBuffer.h"
#include "OutputStyle.h"
#include "PrintData.h"
#include "ProgramState.h"
#include "VemiInterface.h"

namespace {

// The answer is read right after the prompt; flush so the prompt is visible first.
void Prompt(const char* text)
{
    StdoutOrStderr("%s", text);
    FlushOutput(&gRun.streams);
    fflush(PersonOut());
}

// Asks for each value the command line did not give. A failed conversion leaves
// the value as it was and the input unread, for the next prompt.
void AskMissingValues(void)
{
    if (!(gParamFound & PARAM_INDEX_GROUP)) {
        Prompt("IndexGroup:");
        if (fscanf(StreamIn(&gRun.streams), "%x", &gIndexGroup) != 1) { /* value stays */ }
    }
    if (!(gParamFound & PARAM_INDEX_OFFSET)) {
        Prompt("IndexOffset:");
        if (fscanf(StreamIn(&gRun.streams), "%x", &gIndexOffset) != 1) { /* value stays */ }
    }
    if (!(gParamFound & PARAM_IN_BUFFER)) {
        char line[256];
        memset(line, 0, sizeof(line)); // a failed read gives an empty definition
        Prompt("InBuffer:");
        if (fscanf(StreamIn(&gRun.streams), "%255s", line) != 1) { /* empty definition */ }
        ReplaceInBuffer(line);
    }
    if (!(gParamFound & PARAM_OUT_LEN)) {
        Prompt("OutBuffer Length:");
        if (fscanf(StreamIn(&gRun.streams), "%u", &gOutBufferLen) != 1) { /* value stays */ }
    }
}

} // namespace

uint32_t DirectVemiCall(void)
{
    AskMissingValues();

    // Cleared, so bytes the driver did not write show as 00 rather than old memory.
    // If it cannot be had, the request still goes out with a null address.
    uint8_t* out = gOutBufferLen > 0 ? (uint8_t*)calloc(gOutBufferLen, 1) : NULL;
    uint32_t bytesReturned = 0;
    uint32_t result = VemiIoCall(gIndexGroup, gIndexOffset, gInBuffer, gInBufferLen, out,
                                 gOutBufferLen, &bytesReturned);

    char failure[64];
    snprintf(failure, sizeof(failure), "VemiCall failed with Error: %X", result);
    if (MachineOutput()) {
        DirectCallRecord call = {gIndexGroup, gIndexOffset, gInBuffer, gInBufferLen, out, gOutBufferLen, result,
                                 bytesReturned};
        WRITE(&gRun.writer, directCall, &call);
        if (result != 0)
            WRITE(&gRun.writer, failure, "VemiCall", result, failure);
    } else if (!gSilentMode) {
        fprintf(RunOut(), "IndexGroup:%4X, IndexOffset:%4X\n", gIndexGroup, gIndexOffset);
        fprintf(RunOut(), "Result:%4X\nBytes Returned:%u \nInBuffer:\n", result, bytesReturned);
        PrintData(gInBuffer, gInBufferLen);
        fprintf(RunOut(), "OutBuffer:\n");
        PrintData(out, gOutBufferLen);
    } else if (result != 0) {
        fprintf(RunOut(), "%s\n", failure);
    } else {
        PrintData(out, gOutBufferLen);
    }

    free(out);
    free(gInBuffer);
    gInBuffer = NULL;
    return result;
}
