// Text from the device can hold any byte; the machine-readable outputs must be UTF-8.
#ifndef VEMI_UTF8_H
#define VEMI_UTF8_H

#include <stddef.h>

// The length of the valid UTF-8 sequence at `s` (of at most `left` bytes); 0 when
// the bytes there are no valid sequence (overlong, a surrogate, beyond U+10FFFF).
size_t Utf8SequenceLength(const unsigned char* s, size_t left);

// The code point of the valid sequence of `n` bytes at `s`.
unsigned Utf8CodePoint(const unsigned char* s, size_t n);

// A control character (C0, DEL, C1) or a line or paragraph separator
// (U+2028, U+2029): what a line-oriented reader could take for the end of a line.
inline bool Utf8IsControl(unsigned c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

#endif
