// The tool's main sequence: the command line read, the device opened, the title
// line, the commands run in table order, the device closed.
#include <stdio.h>

#include "CmdTable.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "OutputStyle.h"
#include "ProgramState.h"
#include "Reports.h"
#include "ToolVersion.h"
#include "VemiInterface.h"

namespace {

// In the machine-readable styles PrintVemiError's line is a failure for the
// document, and a success a line for the person.
void ToDocument(const char* what, uint32_t status, const char* line)
{
    if (status == 0)
        StdoutOrStderr("%s\n", line);
    else
        WRITE(&gReportWriter, failure, what, status, line);
}

uint32_t DirectCallStep(void*)
{
    return DirectVemiCall();
}

} // namespace

int32_t VemiMain(int argc, char** argv)
{
    ResetCommandTable();
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

// The commands found, in table order; without one, the direct call. In the text
// the first failure ends the run. In the machine-readable styles every report
// runs, so that one failure hides no other, and the first failure is the result;
// the watchdog test alone does not run after one.
uint32_t ExecuteCmds(void)
{
    RunStep steps[CMD_PARAM_COUNT];
    int count = 0;
    for (int i = 0; i < CMD_PARAM_COUNT; i++) {
        const _CmdParam* row = &mCmdParams[i];
        if (row->found && row->execFn != NULL)
            steps[count++] = {kCmdRowTraits[i].report, row->execFn, row->execArg, kCmdRowTraits[i].notAfterFailure};
    }
    if (count == 0)
        steps[count++] = {kReportDirectCall, DirectCallStep, NULL, false};
    return RunSteps(&gReportWriter, steps, count);
}

void PrintHeader(void)
{
    if (!gSilentMode)
        StdoutIfText("%s\n", VEMI_TITLE);
}
