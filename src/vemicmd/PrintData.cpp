// The hex dump of the direct call and the user EEPROM, in the form silent mode asks.
#include "PrintData.h"

#include "HexDump.h"
#include "ProgramState.h"
#include "RunState.h"

void PrintData(const void* data, uint32_t len)
{
    HexDump(&gRun.streams, data, len, gSilentMode);
}
