// What every implementation of the driver channel shares: the debug flag and the
// wording of a request's outcome.
#include <stdio.h>

#include "VemiInterface.h"

bool gDebugMode = false;

void PrintVemiError(const char* what, uint32_t status)
{
    if (what == NULL)
        return;
    switch (status) {
    case VEMI_SUCCESS:
        printf("%s succeeded\n", what);
        break;
    case VEMI_NOT_SUPPORTED:
        printf("Function %s not supported\n", what);
        break;
    case VEMI_DEVICE_BUSY:
        printf("Function %s failed: Device Busy\n", what);
        break;
    default:
        printf("%s failed with error 0x%04X\n", what, status);
        break;
    }
}
