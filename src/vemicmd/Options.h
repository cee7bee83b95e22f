// The option handlers of the table's option rows; each reads the value that
// follows its keyword in argv[*position] and returns 0, or 22 for a bad value.
#ifndef VEMI_OPTIONS_H
#define VEMI_OPTIONS_H

#include "CmdTable.h"

int32_t ParseIndexGroup(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ParseIndexOffset(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ParseOutBufferLen(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ParseInBuffer(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ActivateSilentMode(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ActivateDebugMode(_CmdParam* row, char** argv, int32_t argc, int32_t* position);

// What the value in `arg` would be rejected for by `row`'s handler ("hexadecimal"
// or "decimal" expected), or null when it is valid or the row takes any value. For
// checking a command line whole before anything is opened.
const char* OptionValueError(const _CmdParam* row, const char* arg);

// The largest output area a document takes (the JSON document writes it out in
// hexadecimal): 16 MiB.
const unsigned long long kDocumentOutLimit = 16ull * 1024 * 1024;
// Whether the /olen: value in `arg` is a decimal from 0 to kDocumentOutLimit,
// written without a sign: what the machine-readable styles accept.
bool OutLengthInDocumentRange(const char* arg);

#endif
