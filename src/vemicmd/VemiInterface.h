// VemiCmd's driver channel: the functions through which every device access of the
// tool goes, over the library's channel on the run's transport, with the tool's
// own words: the open failure, the debug trace of each request, and how an
// operation ended.
#ifndef VEMI_INTERFACE_H
#define VEMI_INTERFACE_H

#include <stdint.h>

#include "VemiChannel.h"
#include "VemiRequest.h"
#include "VemiStatus.h"

extern int gVemix_dev;  // descriptor of the open device node; 0 before VemiInit
extern bool gDebugMode; // debug switch: trace every request and the close

// The tool's channel on gVemix_dev, over the run's transport, with the debug
// trace: what the reports read through.
VemiChannel VemiToolChannel(void);

// Opens the device node. 0 on success; prints a message and returns VEMI_OPEN_FAILED
// (-1) when it cannot.
int32_t VemiInit(void);

// Issues one request and blocks until the driver answers. Returns 0, or the error
// number the failed request left. The buffers and the counter belong to the caller.
uint32_t VemiIoCall(uint32_t indexGroup, uint32_t indexOffset, void* inBuffer,
                    uint32_t inBufferLen, void* outBuffer, uint32_t outBufferLen,
                    uint32_t* bytesReturned);

// Ends the channel; always 0. The descriptor is left to process exit.
int32_t VemiClose(void);

// Prints one line telling how the operation `what` ended; nothing when `what` is null.
void PrintVemiError(const char* what, uint32_t status);

#endif
