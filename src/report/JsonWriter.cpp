#include "JsonWriter.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Utf8.h"

namespace {

FILE* Out(const JsonOut* j)
{
    return StreamOut(j->streams);
}

void NewLine(const JsonOut* j)
{
    fputc('\n', Out(j));
    for (int i = 0; i < j->depth; i++)
        fputs("  ", Out(j));
}

// The comma, line end and indent before a value, then its key.
void Lead(JsonOut* j, const char* key)
{
    if (!j->first[j->depth])
        fputc(',', Out(j));
    j->first[j->depth] = false;
    if (j->pretty && j->depth > 0)
        NewLine(j);
    if (key != NULL)
        fprintf(Out(j), j->pretty ? "\"%s\": " : "\"%s\":", key); // keys are the writer's callers' own words
}

void Open(JsonOut* j, const char* key, char bracket)
{
    Lead(j, key);
    fputc(bracket, Out(j));
    if (j->depth < kJsonMaxDepth)
        j->first[++j->depth] = true;
}

void Close(JsonOut* j, char bracket)
{
    bool empty = j->first[j->depth];
    if (j->depth > 0)
        j->depth--;
    if (j->pretty && !empty)
        NewLine(j);
    fputc(bracket, Out(j));
}

} // namespace

void JsonStart(JsonOut* j, RunStreams* streams, bool pretty)
{
    j->streams = streams;
    j->pretty = pretty;
    j->depth = 0;
    j->first[0] = true;
}

void JsonFinish(JsonOut* j)
{
    fputc('\n', Out(j));
}

void JsonBeginObject(JsonOut* j, const char* key) { Open(j, key, '{'); }
void JsonEndObject(JsonOut* j) { Close(j, '}'); }
void JsonBeginArray(JsonOut* j, const char* key) { Open(j, key, '['); }
void JsonEndArray(JsonOut* j) { Close(j, ']'); }

void JsonInt(JsonOut* j, const char* key, int64_t value)
{
    Lead(j, key);
    fprintf(Out(j), "%lld", (long long)value);
}

void JsonUint(JsonOut* j, const char* key, uint64_t value)
{
    Lead(j, key);
    fprintf(Out(j), "%llu", (unsigned long long)value);
}

void JsonNumber(JsonOut* j, const char* key, const char* digits)
{
    Lead(j, key);
    fputs(digits, Out(j));
}

void JsonBool(JsonOut* j, const char* key, bool value)
{
    Lead(j, key);
    fputs(value ? "true" : "false", Out(j));
}

void JsonNull(JsonOut* j, const char* key)
{
    Lead(j, key);
    fputs("null", Out(j));
}

void JsonString(JsonOut* j, const char* key, const char* text, size_t maxLen)
{
    Lead(j, key);
    fputc('"', Out(j));
    const unsigned char* s = (const unsigned char*)text;
    size_t len = text == NULL ? 0 : strnlen(text, maxLen);
    for (size_t i = 0; i < len;) {
        size_t n = Utf8SequenceLength(s + i, len - i);
        if (n == 0) {
            fputs("\\ufffd", Out(j));
            i++;
        } else if (s[i] == '"' || s[i] == '\\') {
            fprintf(Out(j), "\\%c", s[i++]);
        } else if (Utf8IsControl(Utf8CodePoint(s + i, n))) {
            fprintf(Out(j), "\\u%04x", Utf8CodePoint(s + i, n)); // escaped, so that no reader ends a line here
            i += n;
        } else {
            fwrite(s + i, 1, n, Out(j));
            i += n;
        }
    }
    fputc('"', Out(j));
}

void JsonHex(JsonOut* j, const char* key, const void* data, size_t len)
{
    Lead(j, key);
    fputc('"', Out(j));
    static const char digits[] = "0123456789abcdef";
    const unsigned char* bytes = (const unsigned char*)data;
    char block[4096];
    for (size_t done = 0; done < len;) {
        size_t n = len - done < sizeof(block) / 2 ? len - done : sizeof(block) / 2;
        for (size_t i = 0; i < n; i++) {
            block[2 * i] = digits[bytes[done + i] >> 4];
            block[2 * i + 1] = digits[bytes[done + i] & 15];
        }
        fwrite(block, 1, 2 * n, Out(j));
        done += n;
    }
    fputc('"', Out(j));
}
