// /sens: every hardware sensor with its value and unit.
#include <stdio.h>
#include <string.h>

#include "Commands.h"
#include "MachineReport.h"
#include "OutputStyle.h"
#include "Sensors.h"
#include "VemiInterface.h"
#include "VemiRecords.h"

static uint32_t nSens = 0xFFFFFFFF; // highest sensor number, once read
static bool nSensRead = false;      // the count was read: any value of nSens is a count
static uint32_t ActSens = 1;        // number of the next sensor to read

void ResetSensorWalk(void)
{
    nSens = 0xFFFFFFFF;
    nSensRead = false;
    ActSens = 1;
}

const SensorKind* SensorKindOf(uint32_t type)
{
    static const SensorKind kinds[] = {{"other", "", false}, {"temperature", "C", false}, {"voltage", "Volt", true},
                                       {"fan", "RPM", false}, {"other", "", false},      {"current", "A", true}};
    return &kinds[type < 6 ? type : 0];
}

uint32_t EnumVemiSensors(TSensorInfo* info, bool first, bool* ended)
{
    uint32_t bytesReturned = 0;
    *ended = false;
    if (!nSensRead) {
        uint32_t count = 0;
        uint32_t status = VemiIoCall(0x2000, 0, NULL, 0, &count, sizeof(count), &bytesReturned);
        if (status != 0) {
            PrintVemiError("Reading max number of sensors", status);
            return status;
        }
        nSens = count; // a read that wrote nothing leaves 0: no sensors
        nSensRead = true;
    }
    if (first)
        ActSens = 1;
    if (ActSens > nSens) {
        *ended = true;
        return 0;
    }
    // A short record must not show the previous sensor's fields as this one's.
    memset((void*)info, 0, sizeof(*info));
    uint32_t status = VemiIoCall(0x2000, ActSens, NULL, 0, info, sizeof(*info), &bytesReturned);
    if (status != 0) {
        PrintVemiError("Reading sensor", status);
        return status;
    }
    ActSens++;
    return 0;
}

uint32_t ShowVemiSensors(void*)
{
    TSensorInfo info(0);
    bool ended = false;
    uint32_t status = EnumVemiSensors(&info, true, &ended);
    MachineSensorsBegin(nSensRead);
    if (status != 0 || ended) {
        if (ended)
            MachineFailure("Listing sensors", -1, "The board reports no sensors");
        else if (nSensRead)
            MachineSensor(ActSens, NULL); // the first sensor's read failed
        MachineSensorsFailed();
        MachineSensorsEnd();
        return ended ? VEMI_NO_MORE : status; // no sensors at all: the run fails with -1
    }
    do {
        const SensorKind* kind = SensorKindOf(info.sensorType);
        double value = kind->hundredths ? info.reading / 100.0 : (double)info.reading;
        Out("%-15.12s: %8.2f %s\n", info.description, value, kind->unit);
        MachineSensor(ActSens - 1, &info);
        status = EnumVemiSensors(&info, false, &ended);
    } while (status == 0 && !ended);
    if (status != 0) {
        MachineSensor(ActSens, NULL);
        MachineSensorsFailed();
    }
    MachineSensorsEnd();
    // A read failing in the middle has been reported, and what was listed stands,
    // but the run must not end as if all was read.
    return status;
}
