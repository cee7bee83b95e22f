#include "Reports.h"

#include <string.h>

namespace {

const uint32_t kFailuresInARow = 3; // a sensor walk that meets this many ends

// A read's part in its report's result: its status, or, where the style is strict
// about records, a short answer's -1.
uint32_t Result(const ReportWriter* w, const VemiRead* read)
{
    return read->status != 0 ? read->status : VemiReadFailed(read, w->strictRecords) ? VEMI_NOT_AN_ANSWER : 0;
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
        WRITE(w, versionRead, &r->version);
        if (uint32_t failed = Result(w, &r->version.read)) {
            WRITE(w, mainboardRead, &r->version, NULL);
            Done(r, failed);
        }
        return;
    }
    VemiMainboardInfo board;
    VemiReadMainboard(channel, &board);
    WRITE(w, mainboardRead, &r->version, &board);
    Done(r, Result(w, &board.read));
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
        r->result = Result(w, &counted.read);
        if (r->result != 0)
            counted.count = 0; // a failed count lists nothing, whatever the driver wrote
        WRITE(w, sensorCountRead, &counted);
        r->count = counted.count;
        if (r->result == 0 && r->count == 0 && !w->strictRecords)
            r->result = VEMI_NO_SENSORS; // the text's run fails with -1
        r->sensor = 1;
        SensorsGoOn(r, w);
        return;
    }
    VemiSensorInfo sensor;
    VemiReadSensor(channel, r->sensor, &sensor);
    WRITE(w, sensorRead, &sensor);
    uint32_t status = Result(w, &sensor.read);
    r->failuresInARow = status == 0 ? 0 : r->failuresInARow + 1;
    r->result = r->result != 0 ? r->result : status;
    r->sensor++;
    SensorsGoOn(r, w);
}

uint32_t UpsResult(const VemiUpsInfo* ups, const ReportWriter* w)
{
    const VemiRead* reads[] = {&ups->statusRead, &ups->versionRead, &ups->counterRead, &ups->timesRead};
    for (const VemiRead* read : reads)
        if (uint32_t failed = Result(w, read))
            return failed;
    // A GPIO record that is not there is an answer; the extended one where the style says so.
    if (VemiGpioState(&ups->gpioRead, w->strictRecords) == kRecordFailed)
        return Result(w, &ups->gpioRead);
    VemiRecordState ex = VemiGpioState(&ups->gpioExRead, w->strictRecords);
    if (ex == kRecordFailed || (ex == kRecordAbsent && !w->notSupportedIsAnswer))
        return Result(w, &ups->gpioExRead);
    if (w->strictRecords && ups->chargeMeant && !ups->chargeValid)
        return VEMI_NOT_AN_ANSWER;
    return 0;
}

void UpsStep(ReportRead* r, VemiChannel* channel, const ReportWriter* w)
{
    VemiUpsInfo* u = &r->ups;
    switch (r->stage++) {
    case 0:
        VemiReadUpsStatus(channel, u);
        if (!VemiUpsPresent(u)) { // a board without a UPS: an answer, not a failure
            WRITE(w, upsStateRead, u);
            WRITE(w, upsDone, u);
            Done(r, 0);
        }
        return;
    case 1: VemiReadUpsVersion(channel, u); return;
    case 2: VemiReadUpsCounter(channel, u); return;
    case 3:
        VemiReadUpsTimes(channel, u);
        WRITE(w, upsStateRead, u);
        return;
    case 4:
        VemiReadUpsGpio(channel, u);
        WRITE(w, upsGpioRead, u);
        return;
    default:
        VemiReadUpsGpioEx(channel, u);
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
    Done(r, eeprom.read.status);
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
