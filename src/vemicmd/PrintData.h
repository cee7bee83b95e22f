// The hex dump: full form with offsets and characters, bare form in silent mode.
#ifndef VEMI_PRINT_DATA_H
#define VEMI_PRINT_DATA_H

#include <stdint.h>

// Prints `len` bytes at `data`; a null `data` prints nothing.
void PrintData(const void* data, uint32_t len);

#endif
