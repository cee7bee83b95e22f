// A small streaming JSON writer onto a run's output: objects, arrays and values,
// named inside objects (key) or not (key null). The commas, the indentation and the
// escaping of strings are its business alone, so that no report builds JSON by hand.
#ifndef VEMI_JSON_WRITER_H
#define VEMI_JSON_WRITER_H

#include <stddef.h>
#include <stdint.h>

#include "RunStreams.h"

// Where a document stands: the writer's state, one per document.
const int kJsonMaxDepth = 16;
struct JsonOut {
    RunStreams* streams;
    bool pretty;
    int depth;
    bool first[kJsonMaxDepth + 1]; // nothing written yet at this depth
};

void JsonStart(JsonOut* j, RunStreams* streams, bool pretty);
void JsonFinish(JsonOut* j); // the final line end

void JsonBeginObject(JsonOut* j, const char* key);
void JsonEndObject(JsonOut* j);
void JsonBeginArray(JsonOut* j, const char* key);
void JsonEndArray(JsonOut* j);

void JsonInt(JsonOut* j, const char* key, int64_t value);
void JsonUint(JsonOut* j, const char* key, uint64_t value);
void JsonNumber(JsonOut* j, const char* key, const char* digits); // a number already formatted
void JsonBool(JsonOut* j, const char* key, bool value);
void JsonNull(JsonOut* j, const char* key);

// Text of at most `maxLen` bytes, ending early at a zero byte. Control characters
// are escaped; a byte that is not part of valid UTF-8 becomes U+FFFD.
void JsonString(JsonOut* j, const char* key, const char* text, size_t maxLen);

// Bytes as one string of lower-case hexadecimal, two digits a byte.
void JsonHex(JsonOut* j, const char* key, const void* data, size_t len);

#endif
