#include "VemiWatchdog.h"

#include <stddef.h>

#include "VemiServices.h"

namespace {

uint32_t Send(VemiChannel* channel, VemiService s, uint8_t* byte)
{
    uint32_t returned = 0;
    return VemiChannelRequest(channel, s.group, s.offset, byte, byte != NULL ? 1 : 0, NULL, 0, &returned);
}

} // namespace

uint32_t VemiWatchdogPowerControl(VemiChannel* channel, uint8_t mode)
{
    return Send(channel, kVemiWdtPowerControl, &mode);
}

uint32_t VemiWatchdogSetTime(VemiChannel* channel, uint8_t seconds)
{
    return Send(channel, kVemiWdtTime, &seconds);
}

uint32_t VemiWatchdogRetrigger(VemiChannel* channel)
{
    return Send(channel, kVemiWdtRetrigger, NULL);
}
