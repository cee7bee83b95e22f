#include "CommandLine.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "CmdTable.h"
#include "LockFile.h"
#include "OutputStyle.h"
#include "ProgramState.h"
#include "Reports.h"

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
    fprintf(StreamErr(&gRun.streams), "VemiCmd: %s (styles: --json, --json=pretty, --libxo text|json[,pretty], --prometheus,"
                                      " --prometheus-file FILE)\n",
            problem);
    return EXIT_USAGE;
}

int32_t UnknownOption(const char* option)
{
    fprintf(StreamErr(&gRun.streams), "VemiCmd: unknown option '%.64s' (long options: --json, --json=pretty, --libxo STYLE, "
                    "--prometheus, --prometheus-file FILE, --lock-file FILE, --help, --version)\n", option);
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
    fprintf(StreamErr(&gRun.streams), "VemiCmd: ");
    fprintf(StreamErr(&gRun.streams), format, arg);
    fprintf(StreamErr(&gRun.streams), "\n");
    return EXIT_USAGE;
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
        } else if (strcmp(a, "--prometheus-file") == 0 || strncmp(a, "--prometheus-file=", 18) == 0) {
            const char* value = a[17] != '\0' ? a + 18 : (i + 1 < *argc ? argv[++i] : NULL);
            if (value == NULL || *value == '\0')
                return StyleUsage("--prometheus-file needs a file");
            gRun.publishPath = value;
            style = kStylePrometheus;
        } else if (strcmp(a, "--help") == 0 || strcmp(a, "--version") == 0) {
            if (gRun.longRequest == kRequestNone)
                gRun.longRequest = a[2] == 'h' ? kRequestHelp : kRequestVersion;
            continue;
        } else if (strcmp(a, "--lock-file") == 0 || strncmp(a, "--lock-file=", 12) == 0) {
            const char* value = a[11] != '\0' ? a + 12 : (i + 1 < *argc ? argv[++i] : NULL);
            if (value == NULL || *value == '\0')
                return StyleUsage("--lock-file needs a file");
            gRun.lockPath = value;
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

int CmdNumberBase(const _CmdParam* row)
{
    return kCmdRowTraits[row - mCmdParams].value == kValueLength ? 10 : 16;
}

void SayInvalidValue(const _CmdParam* row, const char* arg)
{
    bool hex = CmdNumberBase(row) == 16;
    if (MachineOutput())
        fprintf(StreamErr(&gRun.streams), "VemiCmd: invalid value in %s: %s number expected\n", arg,
                hex ? "hexadecimal" : "decimal");
    else
        StdoutOrStderr("%s: Invalid Param! %s value expected\n", kCmdRowTraits[row - mCmdParams].label,
                       hex ? "Hexadecimal" : "Decimal");
}

bool ParseNumber(const char* text, int base, uint32_t* value)
{
    char* end = NULL;
    unsigned long v = strtoul(text, &end, base);
    *value = (uint32_t)v;
    return end != text && *end == '\0';
}

int32_t CheckMachineCommandLine(int argc, char** argv)
{
    bool metrics = gRun.style == kStylePrometheus, selected[CMD_PARAM_COUNT] = {}, command = false;
    for (int pos = 1; pos < argc; pos++) {
        int i = CmdRowOf(argv[pos]);
        if (i < 0)
            continue;
        const CmdRowTraits* row = &kCmdRowTraits[i];
        uint32_t value;
        const char* text = CmdValueText(&mCmdParams[i], argv, pos);
        if ((row->value == kValueHex || row->value == kValueLength) &&
            !ParseNumber(text, CmdNumberBase(&mCmdParams[i]), &value)) {
            SayInvalidValue(&mCmdParams[i], argv[pos]);
            return EXIT_USAGE;
        }
        if (row->value == kValueLength && !OutLengthInDocumentRange(text))
            return Usage("invalid value in %s: an output length from 0 to 16777216 expected", argv[pos]);
        if (metrics && !row->inMetrics)
            return Usage("--prometheus covers /ver, /sens and /dalv, not %s", argv[pos]);
        selected[i] = true;
        command = command || mCmdParams[i].execFn != NULL;
    }
    if (metrics && !command) {
        fprintf(StreamErr(&gRun.streams), "VemiCmd: --prometheus needs /ver, /sens or /dalv\n");
        return EXIT_USAGE;
    }
    for (int i = 0; i < CMD_PARAM_COUNT; i++)
        if (selected[i] && kCmdRowTraits[i].report != NULL)
            WRITE(&gRun.writer, reportRequested, kCmdRowTraits[i].report);
    if (!command)
        WRITE(&gRun.writer, reportRequested, kReportDirectCall);
    return 0;
}

const char* WatchdogLockPath(void)
{
    return gRun.lockPath != NULL ? gRun.lockPath : VEMI_WATCHDOG_LOCK;
}
