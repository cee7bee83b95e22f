// The hex dump onto a run's output: the full form with offsets and characters, or
// the bare form, the bytes alone, 16 to a line.
#ifndef VEMI_HEX_DUMP_H
#define VEMI_HEX_DUMP_H

#include <stdint.h>

#include "RunStreams.h"

// Prints `len` bytes at `data`; a null `data` prints nothing, an empty one an empty
// line in the bare form.
void HexDump(RunStreams* streams, const void* data, uint32_t len, bool bare);

#endif
