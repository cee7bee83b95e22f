// The first failure to write standard output, kept for the end of the run: by then
// the C library's errno no longer tells it.
#ifndef VEMI_STANDARD_OUTPUT_H
#define VEMI_STANDARD_OUTPUT_H

// Error number of the first failed write to standard output, 0 if none.
extern int gOutputErrno;

// Flushes standard output now, keeping the error number of a first failure.
void FlushOutput(void);

#endif
