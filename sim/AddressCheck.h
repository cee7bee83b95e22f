// Copies between the simulated driver and the caller's memory the way a kernel
// does: an address that cannot be read or written is an error, never a crash.
// The one platform-specific piece of the board model.
#ifndef VEMISIM_ADDRESS_CHECK_H
#define VEMISIM_ADDRESS_CHECK_H

#include <stddef.h>

// False when any byte of the caller's range cannot be read (or written).
bool CopyFromCaller(void* dst, const void* callerSrc, size_t len);
bool CopyToCaller(void* callerDst, const void* src, size_t len);

// The portable method: through a pipe, as write() and read() answer EFAULT for a
// range they cannot read or fill.
bool CopyThroughPipe(void* dst, const void* src, size_t len);

#endif
