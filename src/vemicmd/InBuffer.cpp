// In-buffer definitions: "A:text", "B:1,2", "W:1234", "D:12345678".
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "InBuffer.h"
#include "ProgramState.h"

#define IN_BUFFER_MAX 255 // numeric definitions hold at most this many bytes

uint32_t ParseInputDefString(char* text, uint8_t** out)
{
    char* rest = NULL;
    char* token = strtok_r(text, ":,", &rest);
    if (token == NULL)
        return 0;

    size_t width;
    switch (toupper((unsigned char)token[0])) {
    case 'A': {
        char* value = strtok_r(NULL, ",", &rest);
        if (value == NULL)
            return 0;
        size_t len = strlen(value) + 1; // the text and its zero byte
        uint8_t* buffer = (uint8_t*)malloc(len);
        if (buffer == NULL)
            return 0;
        memcpy(buffer, value, len);
        *out = buffer;
        return (uint32_t)len;
    }
    case 'B': width = 1; break;
    case 'W': width = 2; break;
    case 'D': width = 4; break;
    default: return 0;
    }

    uint8_t* buffer = (uint8_t*)malloc(IN_BUFFER_MAX);
    if (buffer == NULL)
        return 0;
    *out = buffer;
    uint32_t len = 0;
    while (len < IN_BUFFER_MAX && (token = strtok_r(NULL, ",", &rest)) != NULL) {
        if (len + width > IN_BUFFER_MAX)
            break; // a value that does not fit whole is not stored
        unsigned long value = strtoul(token, NULL, 16);
        for (size_t i = 0; i < width; i++)
            buffer[len++] = (uint8_t)(value >> (8 * i)); // little-endian
    }
    return len;
}

void ReplaceInBuffer(char* definition)
{
    // An unknown letter leaves the pointer alone: release first, so nothing stale remains.
    free(gInBuffer);
    gInBuffer = NULL;
    gInBufferLen = ParseInputDefString(definition, &gInBuffer);
}
