// A small streaming JSON writer onto standard output: objects, arrays and values,
// named inside objects (key) or not (key null). The commas, the indentation and the
// escaping of strings are its business alone, so that no report builds JSON by hand.
#ifndef VEMI_JSON_WRITER_H
#define VEMI_JSON_WRITER_H

#include <stddef.h>
#include <stdint.h>

void JsonStart(bool pretty);
void JsonFinish(void); // the final line end

void JsonBeginObject(const char* key);
void JsonEndObject(void);
void JsonBeginArray(const char* key);
void JsonEndArray(void);

void JsonInt(const char* key, int64_t value);
void JsonUint(const char* key, uint64_t value);
void JsonNumber(const char* key, const char* digits); // a number already formatted
void JsonBool(const char* key, bool value);
void JsonNull(const char* key);

// Text of at most `maxLen` bytes, ending early at a zero byte. Control characters
// are escaped; a byte that is not part of valid UTF-8 becomes U+FFFD.
void JsonString(const char* key, const char* text, size_t maxLen);

// Bytes as one string of lower-case hexadecimal, two digits a byte.
void JsonHex(const char* key, const void* data, size_t len);

#endif
