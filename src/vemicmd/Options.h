// The option handlers of the table's option rows; each reads the value that
// follows its keyword in argv[*position] (by the rules of CommandLine.h) and
// returns 0, or 22 for a bad value.
#ifndef VEMI_OPTIONS_H
#define VEMI_OPTIONS_H

#include "CmdTable.h"

int32_t ParseIndexGroup(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ParseIndexOffset(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ParseOutBufferLen(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ParseInBuffer(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ActivateSilentMode(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ActivateDebugMode(_CmdParam* row, char** argv, int32_t argc, int32_t* position);

#endif
