// The reports as one JSON document on standard output: each report's member as it
// ends, then which reports succeeded, the failures and the exit status. Every
// report runs; a record the board does not have is an answer.
#ifndef VEMI_JSON_REPORT_H
#define VEMI_JSON_REPORT_H

#include "ReportWriter.h"

// The tool that writes the document names itself in it.
ReportWriter JsonReportWriter(bool pretty, const char* toolName, const char* toolVersion);

#endif
