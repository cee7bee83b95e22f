// Numbers as the documents write them: a value given in hundredths with two
// decimals (-150 is -1.50, 1205 is 12.05), and a sensor's value as its listing
// shows it.
#ifndef VEMI_HUNDREDTHS_H
#define VEMI_HUNDREDTHS_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "VemiReaders.h"

inline void FormatHundredths(int32_t hundredths, char* out, size_t size)
{
    long long v = hundredths;
    snprintf(out, size, "%s%lld.%02lld", v < 0 ? "-" : "", llabs(v) / 100, llabs(v) % 100);
}

// Hundredths where the unit counts them (12.05 Volt), the reading as it is
// otherwise (45 C, 2400 RPM).
inline void FormatSensorValue(const VemiSensorInfo* sensor, char* out, size_t size)
{
    if (sensor->kind->hundredths)
        FormatHundredths(sensor->hundredths, out, size);
    else
        snprintf(out, size, "%d", sensor->record.reading);
}

#endif
