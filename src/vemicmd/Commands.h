// The command handlers, one per command row of the table, and the default command.
// Each returns a status code, 0 for success; the argument is not used.
#ifndef VEMI_COMMANDS_H
#define VEMI_COMMANDS_H

#include <stdint.h>
#include <stdio.h>

uint32_t ShowHelp(void* arg);
// The help screen's lines, written to `out` (--help, without the device).
void PrintHelpScreen(FILE* out);
uint32_t ShowVersion(void* arg);
uint32_t ShowVemiSensors(void* arg);
uint32_t ShowUserEeprom(void* arg);
uint32_t TriggerWdt(void* arg);
#define WDT_HELD 75         // /wdt's status while vemid (or another test) holds the watchdog (EX_TEMPFAIL)
#define WDT_LOCK_REFUSED 77 // /wdt's status when the watchdog's lock cannot be had at all (EX_NOPERM)
uint32_t ShowDalvInfo(void* arg);

// Run when no command switch was given.
uint32_t DirectVemiCall(void);

#endif
