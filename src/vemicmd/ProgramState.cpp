#include <stdio.h>
#include <stdlib.h>

#include "CmdTable.h"
#include "OutputStyle.h"
#include "ProgramState.h"
#include "VemiInterface.h"
#include "LockFile.h"

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
    gWatchdogLockPath = VEMI_WATCHDOG_LOCK;
    gVemiOutToStderr = false;
    gVemiOpenMessage = true;
    gVemiOpenError = 0;
    gVemiErrorSink = NULL;
    gVemix_dev = 0;
    gVemiChannel.fd = -1;
    for (int i = 0; i < CMD_PARAM_COUNT; i++)
        mCmdParams[i].found = false;
}
