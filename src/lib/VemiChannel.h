// The driver channel: the device node opened once through the program's transport,
// each request one call of it, its outcome a status code. Nothing here prints: a
// program that tells a person about its requests watches them through the
// channel's observers.
#ifndef VEMI_CHANNEL_H
#define VEMI_CHANNEL_H

#include <stdint.h>

#include "VemiTransport.h"

struct VemiChannel {
    const VemiTransport* transport;
    int fd; // the device node once VemiChannelOpen opened it; -1 before
    // Called before each request, and after one that failed; either may be null.
    void (*beforeRequest)(void);
    void (*afterFailure)(uint32_t status);
};

// A channel on `transport`, not yet open, without observers.
VemiChannel VemiChannelOn(const VemiTransport* transport);

// Opens the device node (VEMI_DEVICE_PATH): 0, or the error number of the failed
// open (ENOENT: no driver; EACCES: no permission).
int VemiChannelOpen(VemiChannel* channel, const char* path);

// Issues one request and waits for the driver's answer: 0, or the error number the
// failed request left. The buffers and the counter belong to the caller.
uint32_t VemiChannelRequest(VemiChannel* channel, uint32_t group, uint32_t offset, void* in, uint32_t inLen,
                            void* out, uint32_t outLen, uint32_t* returned);

#endif
