#include "Reports.h"

namespace {

// Where the style is strict about records, a short answer is a failed read.
void Judge(const ReportWriter* w, uint32_t* status, uint32_t returned, uint32_t needed)
{
    if (w->strictRecords && VemiShortAnswer(*status, returned, needed))
        *status = VEMI_SHORT_ANSWER;
}

} // namespace

uint32_t RunVersionReport(VemiChannel* channel, const ReportWriter* w)
{
    VemiVersionInfo version;
    VemiReadVersion(channel, &version);
    Judge(w, &version.status, version.returned, kVemiVersionBytes);
    WRITE(w, versionRead, &version);
    if (version.status != 0) {
        WRITE(w, mainboardRead, &version, NULL);
        return version.status;
    }
    VemiMainboardInfo board;
    VemiReadMainboard(channel, &board);
    Judge(w, &board.status, board.returned, kVemiMainboardBytes);
    WRITE(w, mainboardRead, &version, &board);
    return board.status;
}

uint32_t RunSensorReport(VemiChannel* channel, const ReportWriter* w)
{
    const int kFailuresInARow = 3;
    VemiSensorCountInfo counted;
    VemiReadSensorCount(channel, &counted);
    Judge(w, &counted.status, counted.returned, kVemiSensorCountBytes);
    if (counted.status != 0)
        counted.count = 0; // a failed count lists nothing, whatever the driver wrote
    WRITE(w, sensorCountRead, &counted);
    uint32_t result = counted.status, count = counted.count;
    if (result == 0 && count == 0 && !w->strictRecords)
        result = VEMI_NO_SENSORS; // the text's run fails with -1
    for (uint32_t n = 1, inARow = 0; result == 0 || w->goOnAfterFailure; n++) {
        if (count == 0 || n > count || n == 0)
            break;
        VemiSensorInfo sensor;
        uint32_t status = VemiReadSensor(channel, n, &sensor);
        Judge(w, &sensor.status, sensor.returned, kVemiSensorBytes);
        status = sensor.status;
        WRITE(w, sensorRead, &sensor);
        inARow = status == 0 ? 0 : inARow + 1;
        result = result != 0 ? result : status;
        if (inARow == kFailuresInARow)
            break;
    }
    WRITE(w, sensorsDone, result);
    return result;
}

uint32_t RunUpsReport(VemiChannel* channel, const ReportWriter* w)
{
    VemiUpsInfo ups;
    VemiReadUpsState(channel, &ups);
    Judge(w, &ups.statusRead, ups.statusReturned, kVemiUpsStatusBytes);
    Judge(w, &ups.versionRead, ups.versionReturned, kVemiUpsVersionBytes);
    Judge(w, &ups.counterRead, ups.counterReturned, kVemiUpsCounterBytes);
    Judge(w, &ups.timesRead, ups.timesReturned, kVemiUpsTimesBytes);
    WRITE(w, upsStateRead, &ups);
    if (VemiUpsPresent(&ups)) {
        VemiReadUpsGpio(channel, &ups);
        Judge(w, &ups.gpioRead, ups.gpioReturned, kVemiGpioBytes);
        WRITE(w, upsGpioRead, &ups);
        VemiReadUpsGpioEx(channel, &ups);
        Judge(w, &ups.gpioExRead, ups.gpioExReturned, kVemiGpioExBytes);
        WRITE(w, upsGpioExRead, &ups);
    }
    WRITE(w, upsDone, &ups);
    if (!VemiUpsPresent(&ups))
        return 0; // a board without a UPS: an answer, not a failure
    const uint32_t reads[] = {ups.statusRead, ups.versionRead, ups.counterRead, ups.timesRead};
    for (uint32_t read : reads)
        if (read != 0)
            return read;
    // A GPIO record that is not there is an answer; the extended one where the style says so.
    if (VemiGpioState(ups.gpioRead) == kRecordFailed)
        return ups.gpioRead;
    VemiRecordState ex = VemiGpioState(ups.gpioExRead);
    if (ex == kRecordFailed || (ex == kRecordAbsent && !w->notSupportedIsAnswer))
        return ups.gpioExRead;
    if (w->strictRecords && ups.chargeMeant && !ups.chargeValid)
        return VEMI_BAD_VALUE;
    return 0;
}

uint32_t RunUserEepromReport(VemiChannel* channel, const ReportWriter* w)
{
    VemiUserEepromInfo eeprom;
    VemiReadUserEeprom(channel, &eeprom);
    WRITE(w, userEepromRead, &eeprom);
    return eeprom.status;
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
