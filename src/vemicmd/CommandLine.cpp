#include "CommandLine.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "CmdTable.h"
#include "LockFile.h"
#include "OutputStyle.h"
#include "Reports.h"

LongRequest gLongRequest = kRequestNone;
const char* gWatchdogLockPath = VEMI_WATCHDOG_LOCK;

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

int32_t StyleUsage(const char* problem)
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
    return StyleUsage(problem);
}

int32_t Usage(const char* format, const char* arg)
{
    fprintf(stderr, "VemiCmd: ");
    fprintf(stderr, format, arg);
    fprintf(stderr, "\n");
    return EXIT_USAGE;
}

// What a row's value is rejected for ("hexadecimal" or "decimal" expected), or
// null when it is valid or the row takes any value.
const char* ValueError(const CmdRowTraits* row, const char* arg)
{
    uint32_t value;
    const char* text = arg + 1 + strlen(row->keyword);
    if (row->value == kValueHex)
        return ParseNumber(text, 16, &value) ? NULL : "hexadecimal";
    if (row->value == kValueLength)
        return ParseNumber(text, 10, &value) ? NULL : "decimal";
    return NULL;
}

// A decimal from 0 to kDocumentOutLimit, written without a sign.
bool OutLengthInDocumentRange(const char* text)
{
    while (*text == ' ' || *text == '\t')
        text++;
    char* end = NULL;
    unsigned long long v = strtoull(text, &end, 10);
    return *text != '-' && *text != '+' && end != text && *end == '\0' && v <= kDocumentOutLimit;
}

} // namespace

int32_t TakeLongOptions(int* argc, char** argv)
{
    int kept = 1;
    bool chosen = false;
    OutputStyle chosenStyle = kStyleText;
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
                return StyleUsage("--lock-file needs a file");
            gWatchdogLockPath = value;
            continue;
        } else if (strcmp(a, "--libxo") == 0 || strncmp(a, "--libxo=", 8) == 0 || strncmp(a, "--libxo:", 8) == 0) {
            const char* value = a[7] != '\0' ? a + 8 : (i + 1 < *argc ? argv[++i] : NULL);
            if (value == NULL)
                return StyleUsage("--libxo needs a style");
            if (!LibxoStyle(value, a[7] == ':', &style))
                return UnknownStyle(value);
        } else {
            // No row of the command table begins with '-': an argument like this one
            // could only be a long option, mistyped.
            return UnknownOption(a);
        }
        if (chosen && style != chosenStyle)
            return StyleUsage("one output style at a time");
        chosenStyle = style;
        chosen = true;
    }
    argv[kept] = NULL;
    *argc = kept;
    ChooseOutputStyle(chosenStyle);
    return 0;
}

int CmdRowOf(const char* arg)
{
    if (arg == NULL || (arg[0] != '/' && arg[0] != '-'))
        return -1;
    for (int i = 0; i < CMD_PARAM_COUNT; i++)
        if (strncmp(arg + 1, mCmdParams[i].name, strnlen(mCmdParams[i].name, sizeof(mCmdParams[i].name))) == 0)
            return i;
    return -1;
}

bool ParseNumber(const char* text, int base, uint32_t* value)
{
    char* end = NULL;
    unsigned long v = strtoul(text, &end, base);
    *value = (uint32_t)v;
    return end != text && *end == '\0';
}

int32_t ParseParams(int argc, char** argv)
{
    for (int32_t pos = 1; pos < argc; pos++) {
        int i = CmdRowOf(argv[pos]);
        if (i < 0)
            continue;
        _CmdParam* row = &mCmdParams[i];
        if (row->parseFn != NULL) {
            int32_t rc = row->parseFn(row, argv, argc, &pos);
            if (rc != 0)
                return rc;
        }
        row->found = true;
    }
    return 0;
}

int32_t CheckMachineCommandLine(int argc, char** argv)
{
    bool metrics = gOutputStyle == kStylePrometheus, selected[CMD_PARAM_COUNT] = {}, command = false;
    for (int pos = 1; pos < argc; pos++) {
        int i = CmdRowOf(argv[pos]);
        if (i < 0)
            continue;
        const CmdRowTraits* row = &kCmdRowTraits[i];
        const char* invalid = ValueError(row, argv[pos]);
        if (invalid != NULL) {
            char format[64];
            snprintf(format, sizeof(format), "invalid value in %%s: %s number expected", invalid);
            return Usage(format, argv[pos]);
        }
        if (row->value == kValueLength && !OutLengthInDocumentRange(argv[pos] + 1 + strlen(row->keyword)))
            return Usage("invalid value in %s: an output length from 0 to 16777216 expected", argv[pos]);
        if (metrics && !row->inMetrics)
            return Usage("--prometheus covers /ver, /sens and /dalv, not %s", argv[pos]);
        selected[i] = true;
        command = command || mCmdParams[i].execFn != NULL;
    }
    if (metrics && !command) {
        fprintf(stderr, "VemiCmd: --prometheus needs /ver, /sens or /dalv\n");
        return EXIT_USAGE;
    }
    for (int i = 0; i < CMD_PARAM_COUNT; i++)
        if (selected[i] && kCmdRowTraits[i].report != NULL)
            WRITE(&gReportWriter, reportRequested, kCmdRowTraits[i].report);
    if (!command)
        WRITE(&gReportWriter, reportRequested, kReportDirectCall);
    return 0;
}

void ResetCommandLine(void)
{
    gLongRequest = kRequestNone;
    gWatchdogLockPath = VEMI_WATCHDOG_LOCK;
}
