// Status codes of a request. 0 is success; any other value is the error number a
// failed request left, the driver's own conditions among them.
#ifndef VEMI_STATUS_H
#define VEMI_STATUS_H

#include <stdint.h>

#define VEMI_SUCCESS 0x000u
#define VEMI_NOT_SUPPORTED 0x701u      // service not supported
#define VEMI_GPIO_NOT_SUPPORTED 0x703u // not supported, as the GPIO reads of the UPS report it
#define VEMI_DEVICE_BUSY 0x708u        // device busy
#define VEMI_NO_MORE 0xFFFFFFFFu       // -1: no sensors at all, or the node could not be opened

// Either of the driver's words for "not supported": an answer about the board.
inline bool VemiNotSupported(uint32_t status)
{
    return status == VEMI_NOT_SUPPORTED || status == VEMI_GPIO_NOT_SUPPORTED;
}

#endif
