// The in-buffer notation on any text: bounded buffers, no overrun, nothing leaked.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "InBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    size_t textLen = strlen(text.data());
    uint8_t* out = nullptr;
    uint32_t len = ParseInputDefString(text.data(), &out);
    // Numeric definitions hold at most 255 bytes; a text at most itself and its zero.
    if (len > 255 && len > textLen + 1)
        abort();
    if (out != nullptr && len > 0)
        memset(out, 0, len); // every counted byte must be inside the buffer
    free(out);
    return 0;
}
