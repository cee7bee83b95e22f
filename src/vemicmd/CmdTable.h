// The command table and the main sequence: option rows consume their argument
// while the command line is parsed; command rows run afterwards, in table order.
// The table keeps its five fields; what else each row is (its report, its value,
// whether the metrics cover it) stands in a second table, row for row.
#ifndef VEMI_CMD_TABLE_H
#define VEMI_CMD_TABLE_H

#include <stdint.h>

struct _CmdParam;

// Works on argv[*position]; 0 for success.
typedef int32_t (*OptionHandler)(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
// Returns a status code, 0 for success.
typedef uint32_t (*CommandHandler)(void* arg);

struct _CmdParam {
    char name[8];          // keyword after the switch character, NUL-padded
    OptionHandler parseFn; // option row: consumes its argument while parsing
    CommandHandler execFn; // command row: runs after parsing
    void* execArg;         // passed to execFn
    bool found;            // the keyword was given
};

#define CMD_PARAM_COUNT 12
extern _CmdParam mCmdParams[CMD_PARAM_COUNT];

// The value a row's keyword carries.
enum CmdValue { kValueNone, kValueHex, kValueLength, kValueInBuffer };

struct CmdRowTraits {
    char keyword[8];      // the row's, which a compile-time check holds against mCmdParams's
    const char* report;   // the command's report in the documents; null: none
    CmdValue value;
    bool directCallValue; // a value of the direct call
    bool inMetrics;       // --prometheus covers it
    bool notAfterFailure; // not run after a failure (the watchdog test)
};
extern const CmdRowTraits kCmdRowTraits[CMD_PARAM_COUNT];

// Puts the table's rows as they are at the start into mCmdParams, none found.
void ResetCommandTable(void);

// Reads the command line, opens the device, prints the title line, runs the
// commands, closes; returns the result that becomes the exit status.
int32_t VemiMain(int argc, char** argv);
int32_t ParseParams(int argc, char** argv);
uint32_t ExecuteCmds(void);
void PrintHeader(void);

#endif
