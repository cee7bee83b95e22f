// The command table and everything it points to: option handlers, which run while
// the command line is parsed, and command handlers, which run afterwards in table order.
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

// Main sequence and dispatch.
int32_t VemiMain(int argc, char** argv);
int32_t ParseParams(int argc, char** argv);
uint32_t ExecuteCmds(void);
void PrintHeader(void);

// Option handlers.
int32_t ParseIndexGroup(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ParseIndexOffset(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ParseOutBufferLen(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ParseInBuffer(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ActivateSilentMode(_CmdParam* row, char** argv, int32_t argc, int32_t* position);
int32_t ActivateDebugMode(_CmdParam* row, char** argv, int32_t argc, int32_t* position);

// Command handlers; the argument is not used.
uint32_t ShowHelp(void* arg);
uint32_t ShowVersion(void* arg);
uint32_t ShowVemiSensors(void* arg);
uint32_t ShowUserEeprom(void* arg);
uint32_t TriggerWdt(void* arg);
uint32_t ShowDalvInfo(void* arg);

// The default command, run when no command switch was given.
uint32_t DirectVemiCall(void);

// Hex dump: full form with offsets and characters, bare form in silent mode.
// A null `data` prints nothing.
void PrintData(const void* data, uint32_t len);

// Builds input bytes from an in-buffer definition such as "B:1,2" or "A:text".
// `text` is split in place. Stores a new malloc'd buffer through `out` and returns
// its length; returns 0 and leaves `*out` alone when the type letter is unknown.
uint32_t ParseInputDefString(char* text, uint8_t** out);

// Builds the direct call's in-buffer from a definition, releasing the earlier one.
void ReplaceInBuffer(char* definition);

// Sensor walk: 0 with a record read, -1 after the last sensor, or a failure status.
struct TSensorInfo;
int32_t EnumVemiSensors(TSensorInfo* info, bool first);
void ResetSensorWalk(void);

#endif
