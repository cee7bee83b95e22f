// FreeBSD and other systems: the pipe method throughout. Linux builds it too, for
// the tests of the board model on the path those systems take.
#include "AddressCheck.h"

bool CopyFromCaller(void* dst, const void* callerSrc, size_t len)
{
    return CopyThroughPipe(dst, callerSrc, len);
}

bool CopyToCaller(void* callerDst, const void* src, size_t len)
{
    return CopyThroughPipe(callerDst, src, len);
}
