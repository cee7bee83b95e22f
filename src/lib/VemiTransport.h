// How a request reaches the board: the ioctl on the device node, a simulated board
// answering in the same process, or a test's fake. Each program chooses one at run
// time and hands it to its channel; nothing in the library names one.
#ifndef VEMI_TRANSPORT_H
#define VEMI_TRANSPORT_H

#include <stdint.h>

#include "VemiRequest.h"

struct VemiTransport {
    void* context;
    // Opens the device node for reading and writing: a descriptor, or -1 with errno set.
    int (*open)(void* context, const char* path);
    // Hands one request to the board and waits for its answer: 0, or the error
    // number the driver left.
    uint32_t (*request)(void* context, int fd, vemix_struct* request);
};

// The ioctl on the device node. Its request uses no stdio and no allocation, so
// that a signal handler may disarm the watchdog through it.
extern const VemiTransport kVemiIoctlTransport;

#endif
