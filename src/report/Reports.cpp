#include "Reports.h"

uint32_t RunVersionReport(VemiChannel* channel, const ReportWriter* w)
{
    VemiVersionInfo version;
    VemiReadVersion(channel, &version);
    WRITE(w, versionRead, &version);
    if (version.status != 0) {
        WRITE(w, mainboardRead, &version, NULL);
        return version.status;
    }
    VemiMainboardInfo board;
    VemiReadMainboard(channel, &board);
    WRITE(w, mainboardRead, &version, &board);
    return board.status;
}

uint32_t RunSensorReport(VemiChannel* channel, const ReportWriter* w)
{
    const int kFailuresInARow = 3;
    uint32_t count = 0;
    uint32_t result = VemiReadSensorCount(channel, &count);
    WRITE(w, sensorCountRead, result, count);
    if (result == 0 && count == 0)
        result = VEMI_NO_MORE; // no sensors at all: the run fails with -1
    for (uint32_t n = 1, inARow = 0; result == 0 || w->goOnAfterFailure; n++) {
        if (count == 0 || n > count || n == 0)
            break;
        VemiSensorInfo sensor;
        uint32_t status = VemiReadSensor(channel, n, &sensor);
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
    WRITE(w, upsStateRead, &ups);
    if (VemiUpsPresent(&ups)) {
        VemiReadUpsGpio(channel, &ups);
        WRITE(w, upsGpioRead, &ups);
        VemiReadUpsGpioEx(channel, &ups);
        WRITE(w, upsGpioExRead, &ups);
    }
    WRITE(w, upsDone, &ups);
    if (!VemiUpsPresent(&ups))
        return 0; // a board without a UPS: an answer, not a failure
    const uint32_t reads[] = {ups.statusRead, ups.versionRead, ups.counterRead, ups.timesRead, ups.gpioRead,
                              ups.gpioExRead};
    for (int i = 0; i < 6; i++) {
        bool answer = VemiNotSupported(reads[i]) && (i == 4 || (i == 5 && w->notSupportedIsAnswer));
        if (reads[i] != 0 && !answer)
            return reads[i];
    }
    return 0;
}

uint32_t RunUserEepromReport(VemiChannel* channel, const ReportWriter* w)
{
    VemiUserEepromInfo eeprom;
    VemiReadUserEeprom(channel, &eeprom);
    WRITE(w, userEepromRead, &eeprom);
    return eeprom.status;
}
