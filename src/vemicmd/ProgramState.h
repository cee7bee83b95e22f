// Program state of VemiCmd: filled by the option handlers and the direct call's
// prompts, read by the title line, the hex dump and the direct call.
#ifndef VEMI_PROGRAM_STATE_H
#define VEMI_PROGRAM_STATE_H

#include <stdint.h>

// Bits of gParamFound: which direct-call values the command line gave.
#define PARAM_INDEX_GROUP 0x01
#define PARAM_INDEX_OFFSET 0x02
#define PARAM_IN_BUFFER 0x04
#define PARAM_OUT_LEN 0x08

extern uint32_t gIndexGroup;   // direct call: index group
extern uint32_t gIndexOffset;  // direct call: index offset
extern uint8_t* gInBuffer;     // direct call: input bytes, owned (malloc); null when none
extern uint32_t gInBufferLen;  // direct call: number of input bytes
extern uint32_t gOutBufferLen; // direct call: size of the output area
extern uint8_t gParamFound;    // PARAM_* bits of the values given on the command line
extern bool gSilentMode;       // /s: no title line, bare dumps, bare direct call

// Starts a run again, in-process (tests, fuzz targets): these values, the
// channel's and the table's rows back to their start, and the run's record
// (RunState.h) to zero.
void ResetProgramState(void);

#endif
