// Option handlers: each reads the value that follows its keyword in the current argument.
#include <stdio.h>
#include <stdlib.h>

#include "InBuffer.h"
#include "Options.h"
#include "OutputStyle.h"
#include "ProgramState.h"
#include "VemiInterface.h"

// strtoul semantics on purpose (blanks, sign, "0x", saturation); the value is
// stored even when the text is invalid. True when the whole text was a number.
static bool ParseNumber(const char* text, int base, uint32_t* value)
{
    char* end = NULL;
    unsigned long v = strtoul(text, &end, base);
    *value = (uint32_t)v;
    return end != text && *end == '\0';
}

static int32_t ParseNumberOption(const char* text, int base, uint32_t* value, uint8_t bit,
                                 const char* label)
{
    if (!ParseNumber(text, base, value)) {
        const char* expected = base == 16 ? "Hexadecimal" : "Decimal";
        Say("%s: Invalid Param! %s value expected\n", label, expected);
        return 22;
    }
    gParamFound |= bit;
    return 0;
}

const char* OptionValueError(const _CmdParam* row, const char* arg)
{
    uint32_t value;
    if (row->parseFn == ParseIndexGroup || row->parseFn == ParseIndexOffset)
        return ParseNumber(arg + 4, 16, &value) ? NULL : "hexadecimal";
    if (row->parseFn == ParseOutBufferLen)
        return ParseNumber(arg + 6, 10, &value) ? NULL : "decimal";
    return NULL;
}

bool OutLengthInDocumentRange(const char* arg)
{
    const char* text = arg + 6;
    while (*text == ' ' || *text == '\t')
        text++;
    char* end = NULL;
    unsigned long long v = strtoull(text, &end, 10);
    return *text != '-' && *text != '+' && end != text && *end == '\0' && v <= kDocumentOutLimit;
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
