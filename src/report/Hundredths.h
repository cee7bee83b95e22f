// A value given in hundredths with two decimals, as the documents write numbers:
// -150 is -1.50, 1205 is 12.05.
#ifndef VEMI_HUNDREDTHS_H
#define VEMI_HUNDREDTHS_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

inline void FormatHundredths(int32_t hundredths, char* out, size_t size)
{
    long long v = hundredths;
    snprintf(out, size, "%s%lld.%02lld", v < 0 ? "-" : "", llabs(v) / 100, llabs(v) % 100);
}

#endif
