// Status codes of a request. 0 is success; any other value is the error number a
// failed request left, the driver's own conditions among them.
#ifndef VEMI_STATUS_H
#define VEMI_STATUS_H

#include <stdint.h>

#define VEMI_SUCCESS 0x000u
#define VEMI_NOT_SUPPORTED 0x701u      // service not supported
#define VEMI_GPIO_NOT_SUPPORTED 0x703u // not supported, as the GPIO reads of the UPS report it
#define VEMI_DEVICE_BUSY 0x708u        // device busy
// The tool's own failures, both -1 (exit status 255).
#define VEMI_NO_SENSORS 0xFFFFFFFFu    // the board reports no sensors at all (the text's failure)
#define VEMI_OPEN_FAILED 0xFFFFFFFFu   // the device node could not be opened

// Failures of the machine-readable outputs that no status of the driver's names (it
// said success): the exit status is 255, as their low 8 bits are 0.
#define VEMI_SHORT_ANSWER 0xFFFFFF00u  // an answer shorter than the fields read from its record
#define VEMI_BAD_VALUE 0xFFFFFE00u     // a value that cannot be, such as a charge above 100 %

// Either of the driver's words for "not supported": an answer about the board.
inline bool VemiNotSupported(uint32_t status)
{
    return status == VEMI_NOT_SUPPORTED || status == VEMI_GPIO_NOT_SUPPORTED;
}

#endif
