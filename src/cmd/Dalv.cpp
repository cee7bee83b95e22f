// /dalv: state of the built-in UPS, its power-fail data and its GPIO wiring.
#include <inttypes.h>
#include <stdio.h>

#include "Commands.h"
#include "VemiInterface.h"
#include "VemiRecords.h"

static void PrintUpsState(uint8_t status)
{
    switch (status & 0xF0) {
    case 0xA0: printf("DALV Disabled\n"); break;
    case 0xC0: printf("Charging -> %u%%\n", (status & 0x0Fu) * 10); break;
    case 0xD0: printf("Discharging -> %u%%\n", (status & 0x0Fu) * 10); break;
    default: printf("0x%X\n", status); break;
    }
}

uint32_t ShowDalvInfo(void*)
{
    uint8_t status = 0;
    uint8_t version[2] = {0, 0};
    uint16_t pwrFailCounter = 0;
    uint32_t pwrFailTimes[3] = {0, 0, 0};
    uint32_t bytesReturned = 0;

    uint32_t rc = VemiIoCall(0x5000, 1, NULL, 0, &status, sizeof(status), &bytesReturned);
    if (rc == VEMI_NOT_SUPPORTED) {
        printf("Service not Supported\n"); // a board without a UPS: an answer, not a failure
        return 0;
    }
    // The report goes on after a failed read and shows the values as they stand, but
    // the first failure, in read order, is the command's result.
    uint32_t firstFailure = rc;
    rc = VemiIoCall(0x5000, 2, NULL, 0, version, sizeof(version), &bytesReturned);
    firstFailure = firstFailure != 0 ? firstFailure : rc;
    rc = VemiIoCall(0x5000, 3, NULL, 0, &pwrFailCounter, sizeof(pwrFailCounter), &bytesReturned);
    firstFailure = firstFailure != 0 ? firstFailure : rc;
    rc = VemiIoCall(0x5000, 4, NULL, 0, pwrFailTimes, sizeof(pwrFailTimes), &bytesReturned);
    firstFailure = firstFailure != 0 ? firstFailure : rc;

    printf("Status:                  ");
    PrintUpsState(status);
    printf("DALV Version:            %u.%02u\n", version[0], version[1]);
    printf("PwrFail Counter:         %u\n", pwrFailCounter);
    printf("PwrFail Time[0]:         %u\n", pwrFailTimes[0]);
    printf("PwrFail Time[1]:         %u\n", pwrFailTimes[1]);
    printf("PwrFail Time[2]:         %u\n", pwrFailTimes[2]);

    TDalv_GpioInfo gpio(0, 0, 0);
    rc = VemiIoCall(0x5000, 0xA0, NULL, 0, &gpio, sizeof(gpio), &bytesReturned);
    if (rc == 0)
        printf("GPIO Info:   Addr(IO): 0x%04X Bitmask: 0x%02X\n", gpio.address + gpio.offset,
               gpio.bitmask);
    else if (rc == VEMI_NOT_SUPPORTED || rc == VEMI_GPIO_NOT_SUPPORTED)
        printf("GPIO Info:   not supported\n"); // older boards: not a failure
    else
        printf("GPIO Info:   read failed with error 0x%x\n", rc);
    if (rc != VEMI_NOT_SUPPORTED && rc != VEMI_GPIO_NOT_SUPPORTED)
        firstFailure = firstFailure != 0 ? firstFailure : rc;

    Vemi_GpioInfoEx gpioEx(0, 0, 0, 0, 0);
    rc = VemiIoCall(0x5000, 0xA1, NULL, 0, &gpioEx, sizeof(gpioEx), &bytesReturned);
    if (rc == 0) {
        printf("GPIO InfoEx: Addr: 0x%016" PRIX64 " Bitmask: 0x%016" PRIX64 "\n", gpioEx.address,
               gpioEx.bitmask);
        printf("             Type: 0x%04X Length: 0x%04X Flags: 0x%04X\n", gpioEx.type,
               gpioEx.length, gpioEx.flags);
    } else if (rc == VEMI_NOT_SUPPORTED || rc == VEMI_GPIO_NOT_SUPPORTED) {
        printf("GPIO InfoEx: not supported\n");
    } else {
        printf("GPIO InfoEx: read failed with error 0x%x\n", rc);
    }
    // "Not supported" of the extended record is a failure: /dalv then exits 1 or 3.
    return firstFailure != 0 ? firstFailure : rc;
}
