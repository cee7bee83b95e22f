#include "JsonWriter.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Utf8.h"

namespace {

const int kMaxDepth = 16;
bool sPretty = false;
int sDepth = 0;
bool sFirst[kMaxDepth + 1]; // nothing written yet at this depth

void NewLine(void)
{
    putchar('\n');
    for (int i = 0; i < sDepth; i++)
        fputs("  ", stdout);
}

// The comma, line end and indent before a value, then its key.
void Lead(const char* key)
{
    if (!sFirst[sDepth])
        putchar(',');
    sFirst[sDepth] = false;
    if (sPretty && sDepth > 0)
        NewLine();
    if (key != NULL)
        printf(sPretty ? "\"%s\": " : "\"%s\":", key); // keys are the writer's callers' own words
}

void Open(const char* key, char bracket)
{
    Lead(key);
    putchar(bracket);
    if (sDepth < kMaxDepth)
        sFirst[++sDepth] = true;
}

void Close(char bracket)
{
    bool empty = sFirst[sDepth];
    if (sDepth > 0)
        sDepth--;
    if (sPretty && !empty)
        NewLine();
    putchar(bracket);
}

} // namespace

void JsonStart(bool pretty)
{
    sPretty = pretty;
    sDepth = 0;
    sFirst[0] = true;
}

void JsonFinish(void)
{
    putchar('\n');
}

void JsonBeginObject(const char* key) { Open(key, '{'); }
void JsonEndObject(void) { Close('}'); }
void JsonBeginArray(const char* key) { Open(key, '['); }
void JsonEndArray(void) { Close(']'); }

void JsonInt(const char* key, int64_t value)
{
    Lead(key);
    printf("%lld", (long long)value);
}

void JsonUint(const char* key, uint64_t value)
{
    Lead(key);
    printf("%llu", (unsigned long long)value);
}

void JsonNumber(const char* key, const char* digits)
{
    Lead(key);
    fputs(digits, stdout);
}

void JsonBool(const char* key, bool value)
{
    Lead(key);
    fputs(value ? "true" : "false", stdout);
}

void JsonNull(const char* key)
{
    Lead(key);
    fputs("null", stdout);
}

void JsonString(const char* key, const char* text, size_t maxLen)
{
    Lead(key);
    putchar('"');
    const unsigned char* s = (const unsigned char*)text;
    size_t len = text == NULL ? 0 : strnlen(text, maxLen);
    for (size_t i = 0; i < len;) {
        size_t n = Utf8SequenceLength(s + i, len - i);
        if (n == 0) {
            fputs("\\ufffd", stdout);
            i++;
        } else if (s[i] == '"' || s[i] == '\\') {
            printf("\\%c", s[i++]);
        } else if (Utf8IsControl(Utf8CodePoint(s + i, n))) {
            printf("\\u%04x", Utf8CodePoint(s + i, n)); // escaped, so that no reader ends a line here
            i += n;
        } else {
            fwrite(s + i, 1, n, stdout);
            i += n;
        }
    }
    putchar('"');
}

void JsonHex(const char* key, const void* data, size_t len)
{
    Lead(key);
    putchar('"');
    static const char digits[] = "0123456789abcdef";
    const unsigned char* bytes = (const unsigned char*)data;
    char block[4096];
    for (size_t done = 0; done < len;) {
        size_t n = len - done < sizeof(block) / 2 ? len - done : sizeof(block) / 2;
        for (size_t i = 0; i < n; i++) {
            block[2 * i] = digits[bytes[done + i] >> 4];
            block[2 * i + 1] = digits[bytes[done + i] & 15];
        }
        fwrite(block, 1, 2 * n, stdout);
        done += n;
    }
    putchar('"');
}
