// /dmpusr: hex dump of the user EEPROM.
#include <string.h>

#include "Commands.h"
#include "MachineReport.h"
#include "OutputStyle.h"
#include "PrintData.h"
#include "VemiInterface.h"

#define USER_EEPROM_SIZE 128

uint32_t ShowUserEeprom(void*)
{
    uint8_t buffer[USER_EEPROM_SIZE];
    uint32_t bytesReturned = 0;
    // A driver that reports more than it wrote shows zeros, never old stack bytes.
    memset(buffer, 0, sizeof(buffer));
    uint32_t status = VemiIoCall(0x7000, 0, NULL, 0, buffer, sizeof(buffer), &bytesReturned);
    if (status != 0) {
        PrintVemiError("Reading user eeprom", status);
        MachineUserEeprom(NULL, 0, 0);
        return status;
    }
    uint32_t shown = bytesReturned < USER_EEPROM_SIZE ? bytesReturned : USER_EEPROM_SIZE;
    if (MachineOutput())
        MachineUserEeprom(buffer, shown, bytesReturned);
    else
        PrintData(buffer, shown);
    return 0;
}
