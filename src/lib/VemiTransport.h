// What each platform supplies to the driver channel: the transport alone. The real
// one is the ioctl on the device node; tests and fuzz targets supply a simulated
// board instead.
#ifndef VEMI_TRANSPORT_H
#define VEMI_TRANSPORT_H

#include <stdint.h>

#include "VemiRequest.h"

// Opens the device node for reading and writing: a descriptor, or -1 with errno set.
int VemiTransportOpen(const char* path);

// Hands one request to the driver and waits for its answer: 0, or the error number
// the driver left. Uses no stdio and no allocation of its own, so that a signal
// handler may disarm the watchdog through it.
uint32_t VemiTransportRequest(int fd, vemix_struct* request);

#endif
