// The board's watchdog, one request each: its power-control mode, its time in
// seconds (0 disarms, any other value arms it), a retrigger. Each returns the
// request's status.
#ifndef VEMI_WATCHDOG_H
#define VEMI_WATCHDOG_H

#include <stdint.h>

#include "VemiChannel.h"

uint32_t VemiWatchdogPowerControl(VemiChannel* channel, uint8_t mode);
uint32_t VemiWatchdogSetTime(VemiChannel* channel, uint8_t seconds);
uint32_t VemiWatchdogRetrigger(VemiChannel* channel);

#endif
