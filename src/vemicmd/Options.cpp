// Option handlers: each reads the value that follows its keyword in the current argument.
#include <stdio.h>
#include <stdlib.h>

#include "CommandLine.h"
#include "InBuffer.h"
#include "Options.h"
#include "OutputStyle.h"
#include "ProgramState.h"
#include "VemiInterface.h"

static int32_t ParseNumberOption(const char* text, int base, uint32_t* value, uint8_t bit,
                                 const char* label)
{
    if (!ParseNumber(text, base, value)) {
        const char* expected = base == 16 ? "Hexadecimal" : "Decimal";
        StdoutOrStderr("%s: Invalid Param! %s value expected\n", label, expected);
        return 22;
    }
    gParamFound |= bit;
    return 0;
}

int32_t ParseIndexGroup(_CmdParam*, char** argv, int32_t, int32_t* position)
{
    return ParseNumberOption(argv[*position] + 4, 16, &gIndexGroup, PARAM_INDEX_GROUP,
                             "IndexGroup");
}

int32_t ParseIndexOffset(_CmdParam*, char** argv, int32_t, int32_t* position)
{
    return ParseNumberOption(argv[*position] + 4, 16, &gIndexOffset, PARAM_INDEX_OFFSET,
                             "IndexOffset");
}

int32_t ParseOutBufferLen(_CmdParam*, char** argv, int32_t, int32_t* position)
{
    return ParseNumberOption(argv[*position] + 6, 10, &gOutBufferLen, PARAM_OUT_LEN,
                             "OutBufferLength");
}

int32_t ParseInBuffer(_CmdParam*, char** argv, int32_t, int32_t* position)
{
    ReplaceInBuffer(argv[*position] + 6); // a repeated /ibuf: releases the earlier buffer
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
