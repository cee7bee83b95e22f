#include "Reports.h"

#include <string.h>

namespace {

const uint32_t kFailuresInARow = 3; // a sensor walk that meets this many ends

// Where the style is strict about records, a short answer is a failed read.
void Judge(const ReportWriter* w, uint32_t* status, uint32_t returned, uint32_t needed)
{
    if (w->strictRecords && VemiShortAnswer(*status, returned, needed))
        *status = VEMI_SHORT_ANSWER;
}

void Done(ReportRead* r, uint32_t result)
{
    r->done = true;
    r->result = result;
}

void VersionStep(ReportRead* r, VemiChannel* channel, const ReportWriter* w)
{
    if (r->stage++ == 0) {
        VemiReadVersion(channel, &r->version);
        Judge(w, &r->version.status, r->version.returned, kVemiVersionBytes);
        WRITE(w, versionRead, &r->version);
        if (r->version.status != 0) {
            WRITE(w, mainboardRead, &r->version, NULL);
            Done(r, r->version.status);
        }
        return;
    }
    VemiMainboardInfo board;
    VemiReadMainboard(channel, &board);
    Judge(w, &board.status, board.returned, kVemiMainboardBytes);
    WRITE(w, mainboardRead, &r->version, &board);
    Done(r, board.status);
}

// The walk goes on while no read failed, or where the writer goes on after
// failures, up to the count (a count of 0xFFFFFFFF ends where the number wraps).
void SensorsGoOn(ReportRead* r, const ReportWriter* w)
{
    bool more = (r->result == 0 || w->goOnAfterFailure) && r->count != 0 && r->sensor != 0 &&
                r->sensor <= r->count && r->failuresInARow < kFailuresInARow;
    if (!more) {
        WRITE(w, sensorsDone, r->result);
        Done(r, r->result);
    }
}

void SensorStep(ReportRead* r, VemiChannel* channel, const ReportWriter* w)
{
    if (r->stage++ == 0) {
        VemiSensorCountInfo counted;
        VemiReadSensorCount(channel, &counted);
        Judge(w, &counted.status, counted.returned, kVemiSensorCountBytes);
        if (counted.status != 0)
            counted.count = 0; // a failed count lists nothing, whatever the driver wrote
        WRITE(w, sensorCountRead, &counted);
        r->result = counted.status;
        r->count = counted.count;
        if (r->result == 0 && r->count == 0 && !w->strictRecords)
            r->result = VEMI_NO_SENSORS; // the text's run fails with -1
        r->sensor = 1;
        SensorsGoOn(r, w);
        return;
    }
    VemiSensorInfo sensor;
    VemiReadSensor(channel, r->sensor, &sensor);
    Judge(w, &sensor.status, sensor.returned, kVemiSensorBytes);
    WRITE(w, sensorRead, &sensor);
    r->failuresInARow = sensor.status == 0 ? 0 : r->failuresInARow + 1;
    r->result = r->result != 0 ? r->result : sensor.status;
    r->sensor++;
    SensorsGoOn(r, w);
}

uint32_t UpsResult(const VemiUpsInfo* ups, const ReportWriter* w)
{
    const uint32_t reads[] = {ups->statusRead, ups->versionRead, ups->counterRead, ups->timesRead};
    for (uint32_t read : reads)
        if (read != 0)
            return read;
    // A GPIO record that is not there is an answer; the extended one where the style says so.
    if (VemiGpioState(ups->gpioRead) == kRecordFailed)
        return ups->gpioRead;
    VemiRecordState ex = VemiGpioState(ups->gpioExRead);
    if (ex == kRecordFailed || (ex == kRecordAbsent && !w->notSupportedIsAnswer))
        return ups->gpioExRead;
    if (w->strictRecords && ups->chargeMeant && !ups->chargeValid)
        return VEMI_BAD_VALUE;
    return 0;
}

void UpsStep(ReportRead* r, VemiChannel* channel, const ReportWriter* w)
{
    VemiUpsInfo* u = &r->ups;
    switch (r->stage++) {
    case 0:
        VemiReadUpsStatus(channel, u);
        Judge(w, &u->statusRead, u->statusReturned, kVemiUpsStatusBytes);
        if (!VemiUpsPresent(u)) { // a board without a UPS: an answer, not a failure
            WRITE(w, upsStateRead, u);
            WRITE(w, upsDone, u);
            Done(r, 0);
        }
        return;
    case 1:
        VemiReadUpsVersion(channel, u);
        Judge(w, &u->versionRead, u->versionReturned, kVemiUpsVersionBytes);
        return;
    case 2:
        VemiReadUpsCounter(channel, u);
        Judge(w, &u->counterRead, u->counterReturned, kVemiUpsCounterBytes);
        return;
    case 3:
        VemiReadUpsTimes(channel, u);
        Judge(w, &u->timesRead, u->timesReturned, kVemiUpsTimesBytes);
        WRITE(w, upsStateRead, u);
        return;
    case 4:
        VemiReadUpsGpio(channel, u);
        Judge(w, &u->gpioRead, u->gpioReturned, kVemiGpioBytes);
        WRITE(w, upsGpioRead, u);
        return;
    default:
        VemiReadUpsGpioEx(channel, u);
        Judge(w, &u->gpioExRead, u->gpioExReturned, kVemiGpioExBytes);
        WRITE(w, upsGpioExRead, u);
        WRITE(w, upsDone, u);
        Done(r, UpsResult(u, w));
    }
}

void UserEepromStep(ReportRead* r, VemiChannel* channel, const ReportWriter* w)
{
    VemiUserEepromInfo eeprom;
    VemiReadUserEeprom(channel, &eeprom);
    WRITE(w, userEepromRead, &eeprom);
    Done(r, eeprom.status);
}

uint32_t RunToTheEnd(ReportKind kind, VemiChannel* channel, const ReportWriter* w)
{
    ReportRead read;
    ReportReadStart(&read, kind);
    while (!read.done)
        ReportReadStep(&read, channel, w);
    return read.result;
}

void BeginCurrent(ReportsRead* reads, const ReportWriter* w)
{
    for (; reads->at < reads->count; reads->at++) {
        if (reads->first == 0 || w->goOnAfterFailure) {
            ReportReadStart(&reads->read, reads->kinds[reads->at]);
            WRITE(w, reportBegin, ReportName(reads->kinds[reads->at]));
            return;
        }
    }
    reads->done = true;
}

} // namespace

void ReportReadStart(ReportRead* r, ReportKind kind)
{
    memset(r, 0, sizeof(*r));
    r->kind = kind;
}

void ReportReadStep(ReportRead* r, VemiChannel* channel, const ReportWriter* w)
{
    if (r->done)
        return;
    switch (r->kind) {
    case kVersionReport: VersionStep(r, channel, w); break;
    case kSensorReport: SensorStep(r, channel, w); break;
    case kUpsReport: UpsStep(r, channel, w); break;
    case kUserEepromReport: UserEepromStep(r, channel, w); break;
    }
}

const char* ReportName(ReportKind kind)
{
    static const char* const names[] = {kReportVersion, kReportSensors, kReportUps, kReportUserEeprom};
    return names[kind];
}

uint32_t RunVersionReport(VemiChannel* channel, const ReportWriter* w)
{
    return RunToTheEnd(kVersionReport, channel, w);
}

uint32_t RunSensorReport(VemiChannel* channel, const ReportWriter* w)
{
    return RunToTheEnd(kSensorReport, channel, w);
}

uint32_t RunUpsReport(VemiChannel* channel, const ReportWriter* w)
{
    return RunToTheEnd(kUpsReport, channel, w);
}

uint32_t RunUserEepromReport(VemiChannel* channel, const ReportWriter* w)
{
    return RunToTheEnd(kUserEepromReport, channel, w);
}

void ReportsReadStart(ReportsRead* reads, const ReportKind* kinds, int count, const ReportWriter* w)
{
    memset(reads, 0, sizeof(*reads));
    reads->kinds = kinds;
    reads->count = count;
    BeginCurrent(reads, w);
}

void ReportsReadStep(ReportsRead* reads, VemiChannel* channel, const ReportWriter* w)
{
    if (reads->done)
        return;
    ReportReadStep(&reads->read, channel, w);
    if (!reads->read.done)
        return;
    WRITE(w, reportDone, ReportName(reads->kinds[reads->at]), reads->read.result == 0);
    reads->first = reads->first != 0 ? reads->first : reads->read.result;
    reads->at++;
    BeginCurrent(reads, w);
}

uint32_t RunSteps(const ReportWriter* w, const RunStep* steps, int count)
{
    uint32_t first = 0;
    for (int i = 0; i < count && (first == 0 || w->goOnAfterFailure); i++) {
        const RunStep& step = steps[i];
        if (first != 0 && step.notAfterFailure) {
            WRITE(w, reportSkipped, step.report);
            continue;
        }
        if (step.report != NULL)
            WRITE(w, reportBegin, step.report);
        uint32_t status = step.run(step.arg);
        if (step.report != NULL)
            WRITE(w, reportDone, step.report, status == 0);
        first = first != 0 ? first : status;
    }
    return first;
}

uint32_t RunBoardReport(void* call)
{
    const BoardReportCall* c = (const BoardReportCall*)call;
    return c->report(c->channel, c->w);
}
