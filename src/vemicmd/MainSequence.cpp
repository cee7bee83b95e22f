// The tool's main sequence: the command line read, the device opened, the title
// line, the commands run in table order, the device closed.
#include "MainSequence.h"

#include <stdio.h>

#include "CmdTable.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ExitStatus.h"
#include "OutputStyle.h"
#include "ProgramState.h"
#include "PublishFile.h"
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
        WRITE(&gRun.writer, failure, what, status, line);
}

uint32_t DirectCallStep(void*)
{
    return DirectVemiCall();
}

// The end of the run: the document ends, and the writer lets its buffers go; a
// document for a file takes the file's place.
void EndRun(int exitStatus)
{
    WRITE(&gRun.writer, end, exitStatus);
    MetricsReportRelease(&gRun.metrics);
    if (gRun.publishPath != NULL)
        PublishFileEnd();
}

} // namespace

int32_t VemiMain(const VemiTransport* transport, int argc, char** argv)
{
    gRun.transport = transport;
    int32_t rc = TakeLongOptions(&argc, argv);
    if (rc == 0 && gRun.longRequest != kRequestNone) {
        if (gRun.longRequest == kRequestVersion)
            fprintf(RunOut(), "VemiCmd %s\n", VEMI_VERSION_TEXT);
        else
            PrintHelpScreen(RunOut());
        return 0;
    }
    if (rc == 0 && MachineOutput())
        rc = CheckMachineCommandLine(argc, argv);
    if (rc != 0)
        return rc; // a usage error: nothing opened, no request sent
    if (MachineOutput())
        gRun.errorSink = ToDocument;
    if (gRun.publishPath != NULL && !PublishFileBegin())
        return -1; // FinishOutput names the file and the error
    WriteBegin(&gRun.writer);
    rc = VemiInit();
    if (rc != 0) {
        WRITE(&gRun.writer, openFailed, gRun.openError);
        EndRun(ExitStatusOf((uint32_t)rc));
        return rc;
    }
    ParseParams(argc, argv);
    gRun.writer.bare = gSilentMode;
    PrintHeader();
    uint32_t result = ExecuteCmds();
    VemiClose();
    EndRun(ExitStatusOf(result));
    return (int32_t)result;
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
    return RunSteps(&gRun.writer, steps, count);
}

void PrintHeader(void)
{
    if (!gSilentMode)
        StdoutIfText("%s\n", VEMI_TITLE);
}
