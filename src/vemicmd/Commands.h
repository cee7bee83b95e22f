// The command handlers, one per command row of the table, and the default command.
// Each returns a status code, 0 for success; the argument is not used.
#ifndef VEMI_COMMANDS_H
#define VEMI_COMMANDS_H

#include <stdint.h>

uint32_t ShowHelp(void* arg);
uint32_t ShowVersion(void* arg);
uint32_t ShowVemiSensors(void* arg);
uint32_t ShowUserEeprom(void* arg);
uint32_t TriggerWdt(void* arg);
#define WDT_HELD_BY_VEMID 75 // /wdt's status while vemid holds the watchdog (EX_TEMPFAIL)
uint32_t ShowDalvInfo(void* arg);

// Run when no command switch was given.
uint32_t DirectVemiCall(void);

#endif
