#include "Outcome.h"

#include <stdio.h>

#include "VemiStatus.h"

void FormatOutcome(char* line, size_t size, const char* what, uint32_t status)
{
    switch (status) {
    case VEMI_SUCCESS: snprintf(line, size, "%s succeeded", what); break;
    case VEMI_NOT_SUPPORTED: snprintf(line, size, "Function %s not supported", what); break;
    case VEMI_DEVICE_BUSY: snprintf(line, size, "Function %s failed: Device Busy", what); break;
    default: snprintf(line, size, "%s failed with error 0x%04X", what, status); break;
    }
}

void FormatGpioFailure(char* line, size_t size, const char* label, uint32_t status)
{
    if (VemiNotSupported(status))
        snprintf(line, size, "%s not supported", label);
    else
        snprintf(line, size, "%s read failed with error 0x%x", label, status);
}
