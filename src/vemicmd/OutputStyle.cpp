#include "OutputStyle.h"

#include <stdarg.h>
#include <stdio.h>

#include "JsonReport.h"
#include "MetricsReport.h"
#include "TextReport.h"
#include "ToolVersion.h"
#include "VemiInterface.h"

OutputStyle gOutputStyle = kStyleText;
ReportWriter gReportWriter = TextReportWriter(false);

namespace {

// The document writers' states, one run's.
JsonReportState sJson;
MetricsReportState sMetrics;

} // namespace

void ChooseOutputStyle(OutputStyle style)
{
    gOutputStyle = style;
    if (MachineOutput()) {
        gVemiOutToStderr = true;  // the channel's debug lines are for a person
        gVemiOpenMessage = false; // a failed open is the document's to tell
    }
    gReportWriter = style == kStylePrometheus ? MetricsReportWriter(&sMetrics, NULL, VEMI_VERSION_TEXT)
                  : MachineOutput() ? JsonReportWriter(&sJson, style == kStyleJsonPretty, "VemiCmd", VEMI_VERSION_TEXT)
                                    : TextReportWriter(false);
}

void ResetOutputStyle(void)
{
    ChooseOutputStyle(kStyleText);
}

void StdoutIfText(const char* format, ...)
{
    if (MachineOutput())
        return;
    va_list ap;
    va_start(ap, format);
    vprintf(format, ap);
    va_end(ap);
}

void StdoutOrStderr(const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    vfprintf(MachineOutput() ? stderr : stdout, format, ap);
    va_end(ap);
}
