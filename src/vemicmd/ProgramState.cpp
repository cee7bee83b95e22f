#include "ProgramState.h"

#include <stdlib.h>

#include "CmdTable.h"
#include "RunState.h"
#include "VemiInterface.h"

uint32_t gIndexGroup = 0;
uint32_t gIndexOffset = 0;
uint8_t* gInBuffer = NULL;
uint32_t gInBufferLen = 0;
uint32_t gOutBufferLen = 0;
uint8_t gParamFound = 0;
bool gSilentMode = false;

TVemiRun gRun;

void ResetProgramState(void)
{
    free(gInBuffer);
    gInBuffer = NULL;
    gIndexGroup = gIndexOffset = gInBufferLen = gOutBufferLen = 0;
    gParamFound = 0;
    gSilentMode = false;
    gDebugMode = false;
    gVemix_dev = 0;
    for (_CmdParam& row : mCmdParams)
        row.found = false;
    gRun = TVemiRun();
}
