// The driver channel: the device node opened once, each request one ioctl on it,
// its outcome a status code. Nothing here prints: a program that tells a person
// about its requests watches them through the channel's observer.
#ifndef VEMI_CHANNEL_H
#define VEMI_CHANNEL_H

#include <stdint.h>

struct VemiChannel {
    int* fd; // the program's descriptor of the device node, which VemiChannelOpen sets
    // Called before each request, and after one that failed; either may be null.
    // A request goes to the driver when beforeRequest returns 0; any other status
    // is the request's outcome without asking the driver (a daemon's round that
    // must give way to a stop).
    uint32_t (*beforeRequest)(void);
    void (*afterFailure)(uint32_t status);
};

// Opens the device node (VEMI_DEVICE_PATH): 0, or the error number of the failed
// open (ENOENT: no driver; EACCES: no permission).
int VemiChannelOpen(VemiChannel* channel, const char* path);

// Issues one request and waits for the driver's answer: 0, or the error number the
// failed request left. The buffers and the counter belong to the caller.
uint32_t VemiChannelRequest(VemiChannel* channel, uint32_t group, uint32_t offset, void* in, uint32_t inLen,
                            void* out, uint32_t outLen, uint32_t* returned);

#endif
