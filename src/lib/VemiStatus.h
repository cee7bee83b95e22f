// Status codes of a request. 0 is success; any other value is the error number a
// failed request left, the driver's own conditions among them.
#ifndef VEMI_STATUS_H
#define VEMI_STATUS_H

#include <stdint.h>

#define VEMI_SUCCESS 0x000u
#define VEMI_NOT_SUPPORTED 0x701u      // service not supported
#define VEMI_GPIO_NOT_SUPPORTED 0x703u // not supported, as the GPIO reads of the UPS report it
#define VEMI_DEVICE_BUSY 0x708u        // device busy
// The tool's own failures, all -1 (exit status 255).
#define VEMI_NO_SENSORS 0xFFFFFFFFu    // the board reports no sensors at all (the text's failure)
#define VEMI_OPEN_FAILED 0xFFFFFFFFu   // the device node could not be opened
// A report of the machine-readable styles that the driver answered, but with an
// answer they do not take: shorter than its record's fields, or a value that
// cannot be (a charge above 100 %). The documents say which (VemiRead, the
// readers' values); the report's result is -1.
#define VEMI_NOT_AN_ANSWER 0xFFFFFFFFu

// Either of the driver's words for "not supported": an answer about the board.
inline bool VemiNotSupported(uint32_t status)
{
    return status == VEMI_NOT_SUPPORTED || status == VEMI_GPIO_NOT_SUPPORTED;
}

#endif
