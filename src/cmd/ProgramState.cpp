#include <stdio.h>
#include <stdlib.h>

#include "CmdTable.h"
#include "MachineReport.h"
#include "OutputStyle.h"
#include "ProgramState.h"
#include "Sensors.h"
#include "VemiInterface.h"

uint32_t gIndexGroup = 0;
uint32_t gIndexOffset = 0;
uint8_t* gInBuffer = NULL;
uint32_t gInBufferLen = 0;
uint32_t gOutBufferLen = 0;
uint8_t gParamFound = 0;
bool gSilentMode = false;

void ResetProgramState(void)
{
    free(gInBuffer);
    gInBuffer = NULL;
    gIndexGroup = gIndexOffset = gInBufferLen = gOutBufferLen = 0;
    gParamFound = 0;
    gSilentMode = false;
    gDebugMode = false;
    gOutputStyle = kStyleText;
    gVemiOutToStderr = false;
    gVemiOpenMessage = true;
    gVemiOpenError = 0;
    ResetMachineReport();
    for (int i = 0; i < CMD_PARAM_COUNT; i++)
        mCmdParams[i].found = false;
    ResetSensorWalk();
}
