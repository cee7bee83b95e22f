// /ver: version of the firmware interface and the mainboard record.
#include <stdio.h>

#include "Commands.h"
#include "MachineReport.h"
#include "OutputStyle.h"
#include "VemiInterface.h"
#include "VemiRecords.h"

uint32_t ShowVersion(void*)
{
    TVeDevice_Version version(0, 0, 0);
    TVeDevice_MBInfo board(NULL, 0, 0, 0);
    uint32_t bytesReturned = 0;

    uint32_t status = VemiIoCall(0x0000, 0, NULL, 0, &version, sizeof(version), &bytesReturned);
    if (status != 0) {
        PrintVemiError("Reading Vemi Version", status);
        MachineVersion(NULL, NULL);
        return status;
    }
    Out("Vemilex Version:         %u.%02u.%04u\n", version.major, version.minor, version.build);

    status = VemiIoCall(0x0000, 2, NULL, 0, &board, sizeof(board), &bytesReturned);
    if (status != 0) {
        PrintVemiError("Reading Mainboard information", status);
        MachineVersion(&version, NULL);
        return status;
    }
    // The name fills all 8 bytes without a terminator when it is 8 characters long.
    Out("Mainboard:               %.8s\nMB-Rev:                  G%u\nBios Version:            %X.%02X\n",
        board.name, board.revision, board.biosMajor, board.biosMinor);
    MachineVersion(&version, &board);
    return 0;
}
