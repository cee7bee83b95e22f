// How VemiCmd writes its results: as text for people and for scripts that parse it
// (the default), as one JSON document, or as Prometheus metrics. In the last two,
// standard output carries the document alone; what is meant for a person goes to
// standard error. The command line (CommandLine.h) chooses the style; this module
// serves it.
#ifndef VEMI_OUTPUT_STYLE_H
#define VEMI_OUTPUT_STYLE_H

#include <stdint.h>

#include "ReportWriter.h"

enum OutputStyle { kStyleText, kStyleJson, kStyleJsonPretty, kStylePrometheus };
extern OutputStyle gOutputStyle;
extern ReportWriter gReportWriter; // the style's writer, which every report writes through

// Makes `style` the run's: its writer, and where the channel's own lines go.
void ChooseOutputStyle(OutputStyle style);

// Standard output carries a document (JSON or metrics) instead of text.
inline bool MachineOutput(void)
{
    return gOutputStyle != kStyleText;
}

// Report text: to standard output in the text style, nowhere in the others.
void StdoutIfText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Text for a person (prompts, progress, messages): to standard output in the text
// style, to standard error in the others.
void StdoutOrStderr(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The text style again, its writer chosen.
void ResetOutputStyle(void);

#endif
