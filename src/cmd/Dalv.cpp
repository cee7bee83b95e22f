// /dalv: state of the built-in UPS, its power-fail data and its GPIO wiring.
#include <inttypes.h>
#include <stdio.h>

#include "Commands.h"
#include "MachineReport.h"
#include "OutputStyle.h"
#include "VemiInterface.h"
#include "VemiRecords.h"

static void PrintUpsState(uint8_t status)
{
    switch (status & 0xF0) {
    case 0xA0: Out("DALV Disabled\n"); break;
    case 0xC0: Out("Charging -> %u%%\n", (status & 0x0Fu) * 10); break;
    case 0xD0: Out("Discharging -> %u%%\n", (status & 0x0Fu) * 10); break;
    default: Out("0x%X\n", status); break;
    }
}

// The text report shows the first four values as they stand, failed or not; a
// document lists each failure.
static uint32_t Read(uint32_t offset, void* out, uint32_t size, const char* what)
{
    uint32_t bytesReturned = 0;
    uint32_t rc = VemiIoCall(0x5000, offset, NULL, 0, out, size, &bytesReturned);
    if (rc != 0 && MachineOutput())
        PrintVemiError(what, rc);
    return rc;
}

// "Not supported" is no failure of the GPIO record (older boards lack it). Of the
// extended record it is one in the text, where /dalv then exits 1 or 3; in the
// machine-readable styles it is an answer like the other.
static bool Failed(int read, uint32_t rc)
{
    return rc != 0 && !(VemiNotSupported(rc) && (read == 4 || (read == 5 && MachineOutput())));
}

// A GPIO line of the report when the record could not be read.
static void GpioLine(const char* label, uint32_t rc, int read)
{
    char line[96];
    if (VemiNotSupported(rc))
        snprintf(line, sizeof(line), "%s not supported", label);
    else
        snprintf(line, sizeof(line), "%s read failed with error 0x%x", label, rc);
    Out("%s\n", line);
    if (Failed(read, rc))
        MachineFailure(read == 5 ? "Reading GPIO InfoEx" : "Reading GPIO Info", rc, line);
}

// The first failure in read order is the result.
static uint32_t FirstFailure(const uint32_t reads[6])
{
    for (int i = 0; i < 6; i++)
        if (Failed(i, reads[i]))
            return reads[i];
    return 0;
}

uint32_t ShowDalvInfo(void*)
{
    uint8_t status = 0;
    uint8_t version[2] = {0, 0};
    uint16_t pwrFailCounter = 0;
    uint32_t pwrFailTimes[3] = {0, 0, 0};
    uint32_t reads[6]; // each read's status, in read order

    uint32_t bytesReturned = 0;
    reads[0] = VemiIoCall(0x5000, 1, NULL, 0, &status, sizeof(status), &bytesReturned);
    if (reads[0] == VEMI_NOT_SUPPORTED) {
        Out("Service not Supported\n"); // a board without a UPS: an answer, not a failure
        MachineUps(NULL, 0, NULL, 0, NULL, NULL, NULL);
        return 0;
    }
    if (reads[0] != 0 && MachineOutput())
        PrintVemiError("Reading DALV status", reads[0]);
    reads[1] = Read(2, version, sizeof(version), "Reading DALV version");
    reads[2] = Read(3, &pwrFailCounter, sizeof(pwrFailCounter), "Reading PwrFail counter");
    reads[3] = Read(4, pwrFailTimes, sizeof(pwrFailTimes), "Reading PwrFail times");

    Out("Status:                  ");
    PrintUpsState(status);
    Out("DALV Version:            %u.%02u\n", version[0], version[1]);
    Out("PwrFail Counter:         %u\n", pwrFailCounter);
    Out("PwrFail Time[0]:         %u\n", pwrFailTimes[0]);
    Out("PwrFail Time[1]:         %u\n", pwrFailTimes[1]);
    Out("PwrFail Time[2]:         %u\n", pwrFailTimes[2]);

    TDalv_GpioInfo gpio(0, 0, 0);
    reads[4] = VemiIoCall(0x5000, 0xA0, NULL, 0, &gpio, sizeof(gpio), &bytesReturned);
    if (reads[4] == 0)
        Out("GPIO Info:   Addr(IO): 0x%04X Bitmask: 0x%02X\n", gpio.address + gpio.offset, gpio.bitmask);
    else
        GpioLine("GPIO Info:  ", reads[4], 4);

    Vemi_GpioInfoEx gpioEx(0, 0, 0, 0, 0);
    reads[5] = VemiIoCall(0x5000, 0xA1, NULL, 0, &gpioEx, sizeof(gpioEx), &bytesReturned);
    if (reads[5] == 0) {
        Out("GPIO InfoEx: Addr: 0x%016" PRIX64 " Bitmask: 0x%016" PRIX64 "\n", gpioEx.address, gpioEx.bitmask);
        Out("             Type: 0x%04X Length: 0x%04X Flags: 0x%04X\n", gpioEx.type, gpioEx.length, gpioEx.flags);
    } else {
        GpioLine("GPIO InfoEx:", reads[5], 5);
    }
    MachineUps(reads, status, version, pwrFailCounter, pwrFailTimes, &gpio, &gpioEx);
    return FirstFailure(reads);
}
