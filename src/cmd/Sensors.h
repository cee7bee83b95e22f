// The sensor walk behind /sens.
#ifndef VEMI_SENSORS_H
#define VEMI_SENSORS_H

#include <stdint.h>

struct TSensorInfo;

// 0 with a record read into `info`, -1 after the last sensor, or a failure's status.
// The count is read once per run; `first` starts the walk at sensor 1.
int32_t EnumVemiSensors(TSensorInfo* info, bool first);

// Forgets the count, so that another run in the same process reads it anew.
void ResetSensorWalk(void);

#endif
