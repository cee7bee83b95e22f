#include "Utf8.h"

#include <stdint.h>

size_t Utf8SequenceLength(const unsigned char* s, size_t left)
{
    size_t n = s[0] < 0x80 ? 1 : (s[0] & 0xE0) == 0xC0 ? 2 : (s[0] & 0xF0) == 0xE0 ? 3 : (s[0] & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || n > left)
        return 0;
    for (size_t i = 1; i < n; i++)
        if ((s[i] & 0xC0) != 0x80)
            return 0;
    uint32_t c = Utf8CodePoint(s, n);
    bool shortest = n == 1 || (n == 2 && c >= 0x80) || (n == 3 && c >= 0x800) || (n == 4 && c >= 0x10000);
    bool scalar = c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    return shortest && scalar ? n : 0;
}

unsigned Utf8CodePoint(const unsigned char* s, size_t n)
{
    unsigned c = n == 1 ? s[0] : n == 2 ? s[0] & 0x1F : n == 3 ? s[0] & 0x0F : s[0] & 0x07;
    for (size_t i = 1; i < n; i++)
        c = c << 6 | (s[i] & 0x3F);
    return c;
}
