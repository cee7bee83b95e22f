// Option handlers: each reads the value that follows its keyword in the current argument.
#include <stdio.h>
#include <stdlib.h>

#include "CommandLine.h"
#include "InBuffer.h"
#include "Options.h"
#include "ProgramState.h"
#include "VemiInterface.h"

namespace {

int32_t ParseNumberOption(_CmdParam* row, char** argv, int32_t position, uint32_t* value, uint8_t bit)
{
    if (!ParseNumber(CmdValueText(row, argv, position), CmdNumberBase(row), value)) {
        SayInvalidValue(row, argv[position]);
        return 22;
    }
    gParamFound |= bit;
    return 0;
}

} // namespace

int32_t ParseIndexGroup(_CmdParam* row, char** argv, int32_t, int32_t* position)
{
    return ParseNumberOption(row, argv, *position, &gIndexGroup, PARAM_INDEX_GROUP);
}

int32_t ParseIndexOffset(_CmdParam* row, char** argv, int32_t, int32_t* position)
{
    return ParseNumberOption(row, argv, *position, &gIndexOffset, PARAM_INDEX_OFFSET);
}

int32_t ParseOutBufferLen(_CmdParam* row, char** argv, int32_t, int32_t* position)
{
    return ParseNumberOption(row, argv, *position, &gOutBufferLen, PARAM_OUT_LEN);
}

int32_t ParseInBuffer(_CmdParam* row, char** argv, int32_t, int32_t* position)
{
    ReplaceInBuffer((char*)CmdValueText(row, argv, *position)); // a repeated /ibuf: releases the earlier buffer
    gParamFound |= PARAM_IN_BUFFER;
    return 0;
}

int32_t ActivateSilentMode(_CmdParam*, char**, int32_t, int32_t*)
{
    gSilentMode = true;
    return 0;
}

int32_t ActivateDebugMode(_CmdParam*, char**, int32_t, int32_t*)
{
    gDebugMode = true;
    return 0;
}
