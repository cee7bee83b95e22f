// Text from the device can hold any byte; the machine-readable outputs must be UTF-8.
#ifndef VEMI_UTF8_H
#define VEMI_UTF8_H

#include <stddef.h>

// The length of the valid UTF-8 sequence at `s` (of at most `left` bytes); 0 when
// the bytes there are no valid sequence (overlong, a surrogate, beyond U+10FFFF).
size_t Utf8SequenceLength(const unsigned char* s, size_t left);

#endif
