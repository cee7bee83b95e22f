#include "PromWriter.h"

#include <stdio.h>
#include <string.h>

#include "Utf8.h"

void PromFamily(FILE* out, const char* name, const char* type, const char* help)
{
    fprintf(out, "# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
}

int PromSampleLine(char* line, size_t size, const char* name, const char* labels, const char* value)
{
    return snprintf(line, size, *labels ? "%s{%s} %s\n" : "%s%s %s\n", name, labels, value);
}

void PromLabel(char* labels, size_t size, const char* name, const char* value, size_t maxLen)
{
    size_t at = strlen(labels);
    int head = snprintf(labels + at, size - at, "%s%s=\"", at ? "," : "", name);
    if (head < 0 || (size_t)head + 2 > size - at) { // no room: the label is left out
        labels[at] = '\0';
        return;
    }
    at += (size_t)head;
    // A byte becomes at most three (U+FFFD); the quote and the zero byte need two more.
    const unsigned char* s = (const unsigned char*)value;
    size_t len = strnlen(value, maxLen);
    for (size_t i = 0; i < len && at + 8 < size;) {
        size_t n = Utf8SequenceLength(s + i, len - i);
        if (s[i] == '\\' || s[i] == '"' || s[i] == '\n') {
            labels[at++] = '\\';
            labels[at++] = s[i] == '\n' ? 'n' : (char)s[i];
            i++;
        } else if (n == 0 || Utf8IsControl(Utf8CodePoint(s + i, n))) {
            memcpy(labels + at, "\xEF\xBF\xBD", 3);
            at += 3;
            i += n == 0 ? 1 : n;
        } else {
            memcpy(labels + at, s + i, n);
            at += n;
            i += n;
        }
    }
    snprintf(labels + at, size - at, "\"");
}
