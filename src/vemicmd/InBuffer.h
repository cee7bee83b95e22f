// In-buffer definitions: "A:text", "B:1,2", "W:1234", "D:12345678".
#ifndef VEMI_IN_BUFFER_H
#define VEMI_IN_BUFFER_H

#include <stdint.h>

// Builds input bytes from a definition; `text` is split in place. Stores a new
// malloc'd buffer through `out` and returns its length; returns 0 and leaves
// `*out` alone when the type letter is unknown.
uint32_t ParseInputDefString(char* text, uint8_t** out);

// Builds the direct call's in-buffer from a definition, releasing the earlier one.
void ReplaceInBuffer(char* definition);

#endif
