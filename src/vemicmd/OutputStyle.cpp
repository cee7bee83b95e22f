#include "OutputStyle.h"

#include <stdarg.h>
#include <stdio.h>

#include "JsonReport.h"
#include "MetricsReport.h"
#include "TextReport.h"
#include "ToolVersion.h"

void ChooseOutputStyle(OutputStyle style)
{
    gRun.style = style;
    if (MachineOutput()) {
        gRun.channelToStderr = true;       // the channel's debug lines are for a person
        gRun.openFailureInDocument = true; // a failed open is the document's to tell
    }
    RunStreams* streams = &gRun.streams;
    gRun.writer = style == kStylePrometheus ? MetricsReportWriter(&gRun.metrics, streams, VEMI_VERSION_TEXT)
                  : MachineOutput()
                      ? JsonReportWriter(&gRun.json, streams, style == kStyleJsonPretty, "VemiCmd", VEMI_VERSION_TEXT)
                      : TextReportWriter(streams, false);
}

void StdoutIfText(const char* format, ...)
{
    if (MachineOutput())
        return;
    va_list ap;
    va_start(ap, format);
    vfprintf(RunOut(), format, ap);
    va_end(ap);
}

void StdoutOrStderr(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    vfprintf(PersonOut(), format, ap);
    va_end(ap);
}
