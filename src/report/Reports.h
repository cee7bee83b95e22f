// The reports: each reads its records through the library's readers, hands each
// to the writer as soon as it is read (so the text shows each line as its read
// completes), and decides the report's result once, for every style: the first
// failure in read order, with the writer's rules for failures and "not supported".
#ifndef VEMI_REPORTS_H
#define VEMI_REPORTS_H

#include <stdint.h>

#include "ReportWriter.h"
#include "VemiChannel.h"

// The firmware interface's version and the mainboard, which is read only after the
// version was.
uint32_t RunVersionReport(VemiChannel* channel, const ReportWriter* w);

// Every sensor from 1 to the count. No sensors at all is VEMI_NO_MORE. The walk ends
// at a failed read, or, where the writer goes on after failures, at the third in a
// row: a board whose reads all fail is not answering, whatever its count says.
uint32_t RunSensorReport(VemiChannel* channel, const ReportWriter* w);

// The UPS. A board without one is an answer; the GPIO record not supported too; the
// extended GPIO record not supported is one where the writer says so.
uint32_t RunUpsReport(VemiChannel* channel, const ReportWriter* w);

uint32_t RunUserEepromReport(VemiChannel* channel, const ReportWriter* w);

#endif
