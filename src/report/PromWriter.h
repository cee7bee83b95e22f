// Metrics in Prometheus's text exposition format: each family with its HELP and
// TYPE lines, then its samples, label values escaped.
#ifndef VEMI_PROM_WRITER_H
#define VEMI_PROM_WRITER_H

#include <stddef.h>
#include <stdio.h>

void PromFamily(FILE* out, const char* name, const char* type, const char* help);

// One sample's line, written into `line` (a buffer of `size` bytes), as snprintf
// counts it: its length, or `size` or more when it did not fit. `labels` is what
// PromLabel built, or empty. Samples are gathered, as a family's must stand together.
int PromSampleLine(char* line, size_t size, const char* name, const char* labels, const char* value);

// Appends name="value" to the labels in `labels` (a buffer of `size` bytes). The
// value ends at a zero byte or after `maxLen` bytes; backslash, quote and line end
// are escaped, other control characters and bytes that are not UTF-8 become U+FFFD.
void PromLabel(char* labels, size_t size, const char* name, const char* value, size_t maxLen);

#endif
