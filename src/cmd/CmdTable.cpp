// The command table, the parser that marks its rows, the dispatcher that runs them,
// and the tool's main sequence.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "VemiInterface.h"
#include "CmdTable.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "MachineReport.h"
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

// The metrics cover /ver, /sens and /dalv: another command named, or none (the
// direct call), is a usage error, found before anything is opened.
static int32_t CheckMetricsCommands(int argc, char** argv)
{
    const char* uncovered = NULL;
    bool covered = false;
    for (int pos = 1; pos < argc; pos++) {
        if (argv[pos] == NULL || (argv[pos][0] != '/' && argv[pos][0] != '-'))
            continue;
        for (int i = 0; i < CMD_PARAM_COUNT; i++) {
            if (!SwitchSelects(argv[pos], &mCmdParams[i]))
                continue;
            bool reported = mCmdParams[i].execFn == ShowVersion || mCmdParams[i].execFn == ShowVemiSensors ||
                            mCmdParams[i].execFn == ShowDalvInfo;
            covered = covered || reported;
            if (mCmdParams[i].execFn != NULL && !reported && uncovered == NULL)
                uncovered = argv[pos];
            break;
        }
    }
    if (uncovered == NULL && covered)
        return 0;
    if (uncovered != NULL)
        fprintf(stderr, "VemiCmd: --prometheus covers /ver, /sens and /dalv, not %s\n", uncovered);
    else
        fprintf(stderr, "VemiCmd: --prometheus needs /ver, /sens or /dalv\n");
    return EXIT_USAGE;
}

int32_t VemiMain(int argc, char** argv)
{
    int32_t rc = TakeOutputStyle(&argc, argv);
    if (rc == 0 && gOutputStyle == kStylePrometheus)
        rc = CheckMetricsCommands(argc, argv);
    if (rc != 0)
        return rc; // a usage error: nothing opened, no request sent
    MachineBegin();
    rc = VemiInit();
    if (rc != 0) {
        MachineFailure("Open '" VEMI_DEVICE_PATH "'", rc, "Open '" VEMI_DEVICE_PATH "' failed");
        MachineEnd(ExitStatusOf((uint32_t)rc));
        return rc;
    }
    ParseParams(argc, argv);
    PrintHeader();
    uint32_t result = ExecuteCmds();
    VemiClose();
    MachineEnd(ExitStatusOf(result));
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

uint32_t ExecuteCmds(void)
{
    bool ran = false;
    for (int i = 0; i < CMD_PARAM_COUNT; i++) {
        _CmdParam* row = &mCmdParams[i];
        if (!row->found || row->execFn == NULL)
            continue;
        uint32_t status = row->execFn(row->execArg);
        if (status != 0)
            return status;
        ran = true;
    }
    return ran ? 0 : DirectVemiCall();
}

void PrintHeader(void)
{
    if (!gSilentMode)
        Out("Vemilex Commandline Tool %u.%02u.%04u\n", VEMI_VERSION_MAJOR, VEMI_VERSION_MINOR,
               VEMI_VERSION_PATCH);
}
