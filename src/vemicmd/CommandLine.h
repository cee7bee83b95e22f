// The command line, whole: the long options, which row of the command table a
// switch selects, the values' rules and the words for one not valid, and in the
// machine-readable styles the check of the whole line before anything is opened.
// ParseParams (MainSequence.h) walks the switches with these rules.
#ifndef VEMI_COMMAND_LINE_H
#define VEMI_COMMAND_LINE_H

#include <stdint.h>

#include "CmdTable.h"
#include "RunState.h"

#define EXIT_USAGE 64 // EX_USAGE: the command line was wrong

// Takes the long options out of the arguments, wherever they stand: the styles
// --json, --json=pretty, --libxo json[,pretty], --libxo=..., --libxo:J[P],
// --prometheus, --lock-file FILE, --help and --version, into the run's record;
// and chooses the style.
// 0, or EXIT_USAGE after one line on standard error naming the problem: an
// argument beginning with "--" that is none of them is one.
int32_t TakeLongOptions(int* argc, char** argv);

// In the machine-readable styles the command line is checked whole before anything
// is opened, as a document must never stand for a request nobody meant: a value
// that is not valid, an output length out of the document's bounds, and for the
// metrics a command or a direct-call value they do not cover are usage errors
// (EXIT_USAGE). The reports asked for are told to the writer, in table order, so
// that a document lists them even when the device cannot be opened.
int32_t CheckMachineCommandLine(int argc, char** argv);

// The row of the command table that an argument selects: the first whose keyword
// the argument begins with after its "/" or "-"; -1 for none.
int CmdRowOf(const char* arg);

// strtoul's rules on purpose (blanks, a sign, "0x", saturation); the value is
// stored even when the text is invalid. True when the whole text was a number.
bool ParseNumber(const char* text, int base, uint32_t* value);
// A number row's base: 16, or 10 for the output length.
int CmdNumberBase(const _CmdParam* row);

// A value of `row` that is not valid, in `arg`: in the text style the line of the
// option handlers ("IndexGroup: Invalid Param! Hexadecimal value expected"), in
// the machine styles the usage line on standard error.
void SayInvalidValue(const _CmdParam* row, const char* arg);

// The largest output area a document takes (the JSON document writes it out in
// hexadecimal): 16 MiB.
const unsigned long long kDocumentOutLimit = 16ull * 1024 * 1024;

// The lock vemid holds on the watchdog, or the one --lock-file named.
const char* WatchdogLockPath(void);

#endif
