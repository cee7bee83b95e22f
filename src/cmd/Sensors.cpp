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
    if (!nSensRead || ended) {
        if (ended)
            MachineFailure("Listing sensors", -1, "The board reports no sensors");
        MachineSensorsEnd();
        return ended ? VEMI_NO_MORE : status; // no sensors at all: the run fails with -1
    }
    // The first failure is the result. The text listing ends there, its line printed;
    // in the machine-readable styles one flaky sensor does not hide the rest, but a
    // board that fails several reads in a row is not answering (its count may be
    // anything, up to 2^32).
    const int kFailuresInARow = 3;
    uint32_t result = 0;
    for (int inARow = 0; !ended;) {
        if (status == 0) {
            const SensorKind* kind = SensorKindOf(info.sensorType);
            double value = kind->hundredths ? info.reading / 100.0 : (double)info.reading;
            Out("%-15.12s: %8.2f %s\n", info.description, value, kind->unit);
            MachineSensor(ActSens - 1, &info);
            inARow = 0;
        } else {
            inARow++;
            MachineFailedSensor(ActSens);
            MachineSensor(ActSens, NULL);
            result = result != 0 ? result : status;
            if (!MachineOutput() || inARow == kFailuresInARow)
                break;
            ActSens++;
        }
        status = EnumVemiSensors(&info, false, &ended);
    }
    MachineSensorsEnd();
    return result;
}
