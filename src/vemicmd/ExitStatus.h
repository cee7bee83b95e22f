// How a run's result becomes the process exit status.
#ifndef VEMI_EXIT_STATUS_H
#define VEMI_EXIT_STATUS_H

#include <stdint.h>


// The result's low 8 bits, except that a failure whose low 8 bits are 0 (0x700,
// 0x600, ...) gives 255, so that no failure ends as success.
int ExitStatusOf(uint32_t result);

// Keeps descriptors 0 to 2 taken before anything is opened, so that the device
// node never becomes standard output when the caller closed it; a closed standard
// output or error is held by a read-only descriptor, on which writes fail visibly.
void GuardStandardStreams(void);

// Flushes the run's output. When it could not be written, says so in one line on
// the run's standard error and returns 255, unless `status` already reports a
// failure.
int FinishOutput(int status);

#endif
