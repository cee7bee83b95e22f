// The hex dump on standard output: the full form with offsets and characters, or
// the bare form, the bytes alone, 16 to a line.
#ifndef VEMI_HEX_DUMP_H
#define VEMI_HEX_DUMP_H

#include <stdint.h>

// Prints `len` bytes at `data`; a null `data` prints nothing, an empty one an empty
// line in the bare form.
void HexDump(const void* data, uint32_t len, bool bare);

#endif
