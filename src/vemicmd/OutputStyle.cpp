#include "OutputStyle.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "JsonReport.h"
#include "MetricsReport.h"
#include "TextReport.h"
#include "ToolVersion.h"
#include "VemiInterface.h"
#include "LockFile.h"

OutputStyle gOutputStyle = kStyleText;
LongRequest gLongRequest = kRequestNone;
const char* gWatchdogLockPath = VEMI_WATCHDOG_LOCK;
ReportWriter gReportWriter; // chosen with the style

namespace {

// A libxo style: "text", "json" or "json,pretty" (either order), or flags such as
// "JP" or "T".
bool LibxoStyle(const char* style, bool flags, OutputStyle* out)
{
    if (flags && strcmp(style, "T") == 0) {
        *out = kStyleText;
        return true;
    }
    if (flags) {
        bool json = strchr(style, 'J') != NULL;
        *out = strchr(style, 'P') ? kStyleJsonPretty : kStyleJson;
        return json && strspn(style, "JP") == strlen(style);
    }
    if (strcmp(style, "text") == 0 || strcmp(style, "json") == 0) {
        *out = style[0] == 't' ? kStyleText : kStyleJson; // libxo's own name for plain text
        return true;
    }
    *out = kStyleJsonPretty;
    return strcmp(style, "json,pretty") == 0 || strcmp(style, "pretty,json") == 0;
}

int32_t Usage(const char* problem)
{
    fprintf(stderr, "VemiCmd: %s (styles: --json, --json=pretty, --libxo text|json[,pretty], --prometheus)\n",
            problem);
    return EXIT_USAGE;
}

int32_t UnknownOption(const char* option)
{
    fprintf(stderr, "VemiCmd: unknown option '%.64s' (long options: --json, --json=pretty, --libxo STYLE, "
                    "--prometheus, --lock-file FILE, --help, --version)\n", option);
    return EXIT_USAGE;
}

int32_t UnknownStyle(const char* style)
{
    char problem[96];
    snprintf(problem, sizeof(problem), "unknown output style '%.64s'", style);
    return Usage(problem);
}

} // namespace

int32_t TakeLongOptions(int* argc, char** argv)
{
    int kept = 1;
    bool chosen = false;
    for (int i = 1; i < *argc; i++) {
        const char* a = argv[i];
        OutputStyle style;
        // Commands start with '/': leaving them to the table before any string call
        // keeps the text start-up free of the lookups those calls would need.
        if (a[0] != '-' || a[1] != '-') {
            argv[kept++] = argv[i];
            continue;
        }
        if (strcmp(a, "--json") == 0) {
            style = kStyleJson;
        } else if (strncmp(a, "--json=", 7) == 0) {
            style = kStyleJsonPretty;
            if (strcmp(a + 7, "pretty") != 0)
                return UnknownStyle(a + 7);
        } else if (strcmp(a, "--prometheus") == 0) {
            style = kStylePrometheus;
        } else if (strcmp(a, "--help") == 0 || strcmp(a, "--version") == 0) {
            if (gLongRequest == kRequestNone)
                gLongRequest = a[2] == 'h' ? kRequestHelp : kRequestVersion;
            continue;
        } else if (strcmp(a, "--lock-file") == 0 || strncmp(a, "--lock-file=", 12) == 0) {
            const char* value = a[11] != '\0' ? a + 12 : (i + 1 < *argc ? argv[++i] : NULL);
            if (value == NULL || *value == '\0')
                return Usage("--lock-file needs a file");
            gWatchdogLockPath = value;
            continue;
        } else if (strcmp(a, "--libxo") == 0 || strncmp(a, "--libxo=", 8) == 0 || strncmp(a, "--libxo:", 8) == 0) {
            const char* value = a[7] != '\0' ? a + 8 : (i + 1 < *argc ? argv[++i] : NULL);
            if (value == NULL)
                return Usage("--libxo needs a style");
            if (!LibxoStyle(value, a[7] == ':', &style))
                return UnknownStyle(value);
        } else {
            // No row of the command table begins with '-': an argument like this one
            // could only be a long option, mistyped.
            return UnknownOption(a);
        }
        if (chosen && style != gOutputStyle)
            return Usage("one output style at a time");
        gOutputStyle = style;
        chosen = true;
    }
    argv[kept] = NULL;
    *argc = kept;
    if (MachineOutput()) {
        gVemiOutToStderr = true;  // the channel's debug lines are for a person
        gVemiOpenMessage = false; // a failed open is the document's to tell
    }
    gReportWriter = gOutputStyle == kStylePrometheus ? MetricsReportWriter(NULL, VEMI_VERSION_TEXT)
                  : MachineOutput() ? JsonReportWriter(gOutputStyle == kStyleJsonPretty, "VemiCmd", VEMI_VERSION_TEXT)
                                    : TextReportWriter(false);
    return 0;
}

void Out(const char* format, ...)
{
    if (MachineOutput())
        return;
    va_list ap;
    va_start(ap, format);
    vprintf(format, ap);
    va_end(ap);
}

void Say(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    vfprintf(MachineOutput() ? stderr : stdout, format, ap);
    va_end(ap);
}
