// How VemiCmd writes its results: as text for people and for scripts that parse it
// (the default), as one JSON document, or as Prometheus metrics. In the last two,
// standard output carries the document alone; what is meant for a person goes to
// standard error. The command line (CommandLine.h) chooses the style; this module
// serves it, through the run's streams (RunState.h).
#ifndef VEMI_OUTPUT_STYLE_H
#define VEMI_OUTPUT_STYLE_H

#include <stdint.h>

#include "RunState.h"

// Makes `style` the run's: its writer, and where the channel's own lines go.
void ChooseOutputStyle(OutputStyle style);

// Standard output carries a document (JSON or metrics) instead of text.
inline bool MachineOutput(void)
{
    return gRun.style != kStyleText;
}

// The run's output, and the stream for a person: the output in the text style,
// the errors in the others.
inline FILE* RunOut(void)
{
    return StreamOut(&gRun.streams);
}
inline FILE* PersonOut(void)
{
    return MachineOutput() ? StreamErr(&gRun.streams) : StreamOut(&gRun.streams);
}

// Report text: to standard output in the text style, nowhere in the others.
void StdoutIfText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Text for a person (prompts, progress, messages): to standard output in the text
// style, to standard error in the others.
void StdoutOrStderr(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif
