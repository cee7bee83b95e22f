// How VemiCmd writes its results: as text for people and for scripts that parse it
// (the default), as one JSON document, or as Prometheus metrics. In the last two,
// standard output carries the document alone; what is meant for a person goes to
// standard error.
#ifndef VEMI_OUTPUT_STYLE_H
#define VEMI_OUTPUT_STYLE_H

#include <stdint.h>

#include "ReportWriter.h"

enum OutputStyle { kStyleText, kStyleJson, kStyleJsonPretty, kStylePrometheus };
extern OutputStyle gOutputStyle;
// --help and --version: answered before anything else, the device never opened.
enum LongRequest { kRequestNone, kRequestHelp, kRequestVersion };
extern LongRequest gLongRequest;
extern ReportWriter gReportWriter; // the style's writer, which every report writes through
extern const char* gWatchdogLockPath; // the lock vemid holds on the watchdog (--lock-file)

#define EXIT_USAGE 64 // EX_USAGE: the command line was wrong

// Takes the long options out of the arguments, wherever they stand: the styles
// --json, --json=pretty, --libxo json[,pretty], --libxo=..., --libxo:J[P],
// --prometheus, --lock-file FILE, --help and --version; and chooses the style's
// writer. 0, or EXIT_USAGE after one line on standard error naming the problem:
// an argument beginning with "--" that is none of them is one.
int32_t TakeLongOptions(int* argc, char** argv);

// Standard output carries a document (JSON or metrics) instead of text.
inline bool MachineOutput(void)
{
    return gOutputStyle != kStyleText;
}

// Report text: printed in the text style only.
void Out(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Text for a person (prompts, progress, messages): standard output in the text
// style, standard error otherwise.
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif
