// The command table: option rows consume their argument while the command line is
// parsed; command rows run afterwards, in table order. The table keeps its five
// fields; what else each row is (its report, its value, whether the metrics cover
// it) stands in a second table, row for row.
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

// What else each row of mCmdParams is, row for row.
struct CmdRowTraits {
    const char* report;   // the command's report in the documents; null: none
    CmdValue value;
    const char* label;    // a number's name in the text's message for a value not valid
    bool directCallValue; // a value of the direct call
    bool inMetrics;       // --prometheus covers it
    bool notAfterFailure; // not run after a failure (the watchdog test)
};
extern const CmdRowTraits kCmdRowTraits[CMD_PARAM_COUNT];

// The text of a value row's value: what follows its switch character and keyword
// in argv[position] ("/ig:8000": "8000").
const char* CmdValueText(const _CmdParam* row, char** argv, int32_t position);

#endif
