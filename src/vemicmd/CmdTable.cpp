// The command table, the parser that marks its rows, the dispatcher that runs them,
// and the tool's main sequence.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "VemiInterface.h"
#include "CmdTable.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "Options.h"
#include "OutputStyle.h"
#include "ProgramState.h"
#include "ToolVersion.h"

// Order decides both matching (first match wins) and execution.
_CmdParam mCmdParams[CMD_PARAM_COUNT] = {
    {"help", NULL, ShowHelp, NULL, false},
    {"ver", NULL, ShowVersion, NULL, false},
    {"sens", NULL, ShowVemiSensors, NULL, false},
    {"dmpusr", NULL, ShowUserEeprom, NULL, false},
    {"wdt", NULL, TriggerWdt, NULL, false},
    {"dalv", NULL, ShowDalvInfo, NULL, false},
    {"ig:", ParseIndexGroup, NULL, NULL, false},
    {"io:", ParseIndexOffset, NULL, NULL, false},
    {"olen:", ParseOutBufferLen, NULL, NULL, false},
    {"ibuf:", ParseInBuffer, NULL, NULL, false},
    {"s", ActivateSilentMode, NULL, NULL, false},
    {"d", ActivateDebugMode, NULL, NULL, false},
};

// A switch selects a row when, after its "/" or "-", it begins with the row's
// keyword; whatever follows the keyword is the row's business.
static bool SwitchSelects(const char* arg, const _CmdParam* row)
{
    size_t n = strnlen(row->name, sizeof(row->name));
    return strncmp(arg + 1, row->name, n) == 0;
}

// The name under which a command's report stands in the documents; null for the help.
static const char* ReportName(CommandHandler fn)
{
    return fn == ShowVersion ? "version" : fn == ShowVemiSensors ? "sensors" : fn == ShowUserEeprom ? "user_eeprom"
         : fn == TriggerWdt ? "watchdog_test" : fn == ShowDalvInfo ? "ups" : NULL;
}

// The table row an argument selects, as ParseParams matches it; null for none.
static _CmdParam* RowOf(const char* arg)
{
    if (arg == NULL || (arg[0] != '/' && arg[0] != '-'))
        return NULL;
    for (int i = 0; i < CMD_PARAM_COUNT; i++)
        if (SwitchSelects(arg, &mCmdParams[i]))
            return &mCmdParams[i];
    return NULL;
}

static int32_t Usage(const char* format, const char* arg)
{
    fprintf(stderr, "VemiCmd: ");
    fprintf(stderr, format, arg);
    fprintf(stderr, "\n");
    return EXIT_USAGE;
}

// In the machine-readable styles the command line is checked whole before anything
// is opened, as a document must never stand for a request nobody meant: a value
// that is not valid is a usage error, and so is, for the metrics, a command or a
// direct-call value they do not cover. The reports asked for are noted, in table
// order, so that a document lists them even when the device cannot be opened.
static int32_t CheckMachineCommandLine(int argc, char** argv)
{
    bool metrics = gOutputStyle == kStylePrometheus, selected[CMD_PARAM_COUNT] = {}, command = false;
    for (int pos = 1; pos < argc; pos++) {
        _CmdParam* row = RowOf(argv[pos]);
        if (row == NULL)
            continue;
        const char* invalid = OptionValueError(row, argv[pos]);
        if (invalid != NULL) {
            char format[64];
            snprintf(format, sizeof(format), "invalid value in %%s: %s number expected", invalid);
            return Usage(format, argv[pos]);
        }
        if (row->parseFn == ParseOutBufferLen && !OutLengthInDocumentRange(argv[pos]))
            return Usage("invalid value in %s: an output length from 0 to 16777216 expected", argv[pos]);
        bool reported = row->execFn == ShowVersion || row->execFn == ShowVemiSensors || row->execFn == ShowDalvInfo;
        bool directCallValue = row->parseFn != NULL && row->parseFn != ActivateSilentMode &&
                               row->parseFn != ActivateDebugMode;
        if (metrics && ((row->execFn != NULL && !reported) || directCallValue))
            return Usage("--prometheus covers /ver, /sens and /dalv, not %s", argv[pos]);
        selected[row - mCmdParams] = true;
        command = command || row->execFn != NULL;
    }
    if (metrics && !command) {
        fprintf(stderr, "VemiCmd: --prometheus needs /ver, /sens or /dalv\n");
        return EXIT_USAGE;
    }
    for (int i = 0; i < CMD_PARAM_COUNT; i++)
        if (selected[i] && ReportName(mCmdParams[i].execFn) != NULL)
            WRITE(&gReportWriter, reportRequested, ReportName(mCmdParams[i].execFn));
    if (!command)
        WRITE(&gReportWriter, reportRequested, "direct_call");
    return 0;
}

// In the machine-readable styles PrintVemiError's line is a failure for the
// document, and a success a line for the person.
static void ToDocument(const char* what, uint32_t status, const char* line)
{
    if (status == 0)
        Say("%s\n", line);
    else
        WRITE(&gReportWriter, failure, what, status, line);
}

int32_t VemiMain(int argc, char** argv)
{
    int32_t rc = TakeLongOptions(&argc, argv);
    if (rc == 0 && gLongRequest != kRequestNone) {
        if (gLongRequest == kRequestVersion)
            printf("VemiCmd %s\n", VEMI_VERSION_TEXT);
        else
            PrintHelpScreen(stdout);
        return 0;
    }
    if (rc == 0 && MachineOutput())
        rc = CheckMachineCommandLine(argc, argv);
    if (rc != 0)
        return rc; // a usage error: nothing opened, no request sent
    if (MachineOutput())
        gVemiErrorSink = ToDocument;
    WriteBegin(&gReportWriter);
    rc = VemiInit();
    if (rc != 0) {
        WRITE(&gReportWriter, openFailed, gVemiOpenError);
        WRITE(&gReportWriter, end, ExitStatusOf((uint32_t)rc));
        return rc;
    }
    ParseParams(argc, argv);
    gReportWriter.bare = gSilentMode;
    PrintHeader();
    uint32_t result = ExecuteCmds();
    VemiClose();
    WRITE(&gReportWriter, end, ExitStatusOf(result));
    return (int32_t)result;
}

int32_t ParseParams(int argc, char** argv)
{
    for (int32_t pos = 1; pos < argc; pos++) {
        const char* arg = argv[pos];
        if (arg == NULL || (arg[0] != '/' && arg[0] != '-'))
            continue;
        for (int i = 0; i < CMD_PARAM_COUNT; i++) {
            _CmdParam* row = &mCmdParams[i];
            if (!SwitchSelects(arg, row))
                continue;
            if (row->parseFn != NULL) {
                int32_t rc = row->parseFn(row, argv, argc, &pos);
                if (rc != 0)
                    return rc;
            }
            row->found = true;
            break;
        }
    }
    return 0;
}

// In the text the first failure ends the run. In the machine-readable styles every
// report runs, so that one failure hides no other, and the first failure is the
// result; the watchdog test alone does not run after one.
uint32_t ExecuteCmds(void)
{
    bool ran = false;
    uint32_t first = 0;
    for (int i = 0; i < CMD_PARAM_COUNT; i++) {
        _CmdParam* row = &mCmdParams[i];
        if (!row->found || row->execFn == NULL)
            continue;
        ran = true;
        const char* report = ReportName(row->execFn);
        if (first != 0 && row->execFn == TriggerWdt) {
            WRITE(&gReportWriter, reportSkipped, report);
            continue;
        }
        if (report != NULL)
            WRITE(&gReportWriter, reportBegin, report);
        uint32_t status = row->execFn(row->execArg);
        if (report != NULL)
            WRITE(&gReportWriter, reportDone, report, status == 0);
        first = first != 0 ? first : status;
        if (status != 0 && !MachineOutput())
            return status;
    }
    if (ran)
        return first;
    WRITE(&gReportWriter, reportBegin, "direct_call");
    uint32_t result = DirectVemiCall();
    WRITE(&gReportWriter, reportDone, "direct_call", result == 0);
    return result;
}

void PrintHeader(void)
{
    if (!gSilentMode)
        Out("Vemilex Commandline Tool %u.%02u.%04u\n", VEMI_VERSION_MAJOR, VEMI_VERSION_MINOR,
               VEMI_VERSION_PATCH);
}
