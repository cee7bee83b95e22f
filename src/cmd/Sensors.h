// The sensor walk behind /sens.
#ifndef VEMI_SENSORS_H
#define VEMI_SENSORS_H

#include <stdint.h>

struct TSensorInfo;

// What a sensor type measures: its kind, the unit the listing prints ("" for none)
// and whether the reading counts hundredths. Types 0, 4 and above 5 are "other".
struct SensorKind {
    char kind[12];
    char unit[8];
    bool hundredths;
};
const SensorKind* SensorKindOf(uint32_t type);

// 0 with a record read into `info`, or a failure's status; 0 with `*ended` set
// after the last sensor, so that the end is never mistaken for a status (a driver
// may fail with any, 0xFFFFFFFF too). The count is read once per run; `first`
// starts the walk at sensor 1.
uint32_t EnumVemiSensors(TSensorInfo* info, bool first, bool* ended);

// Forgets the count, so that another run in the same process reads it anew.
void ResetSensorWalk(void);

#endif
