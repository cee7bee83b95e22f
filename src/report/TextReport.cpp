#include "TextReport.h"

#include <inttypes.h>
#include <stdio.h>

#include "HexDump.h"
#include "Outcome.h"

namespace {

void Outcome(const char* what, uint32_t status)
{
    char line[256];
    FormatOutcome(line, sizeof(line), what, status);
    printf("%s\n", line);
}

void VersionRead(const ReportWriter*, const VemiVersionInfo* v)
{
    if (v->status != 0) {
        Outcome(OP_VERSION, v->status);
        return;
    }
    char text[32];
    VemiInterfaceVersionText(&v->version, text, sizeof(text));
    printf("Vemilex Version:         %s\n", text);
}

void MainboardRead(const ReportWriter*, const VemiVersionInfo*, const VemiMainboardInfo* b)
{
    if (b == NULL)
        return;
    if (b->status != 0) {
        Outcome(OP_MAINBOARD, b->status);
        return;
    }
    // The name fills all 8 bytes without a terminator when it is 8 characters long.
    char bios[16];
    VemiBiosVersionText(&b->board, bios, sizeof(bios));
    printf("Mainboard:               %.8s\nMB-Rev:                  G%u\nBios Version:            %s\n",
           b->board.name, b->board.revision, bios);
}

void SensorCountRead(const ReportWriter*, const VemiSensorCountInfo* counted)
{
    if (counted->status != 0)
        Outcome(OP_SENSOR_COUNT, counted->status);
}

void SensorRead(const ReportWriter*, const VemiSensorInfo* s)
{
    if (s->status != 0)
        Outcome(OP_SENSOR, s->status);
    else
        printf("%-15.12s: %8.2f %s\n", s->record.description, s->hundredths / 100.0, s->kind->unit);
}

void UpsStateRead(const ReportWriter*, const VemiUpsInfo* u)
{
    if (!VemiUpsPresent(u)) {
        printf("Service not Supported\n");
        return;
    }
    // The values as they stand after the reads, failed or not.
    printf("Status:                  ");
    switch (u->state) {
    case kUpsDisabled: printf("DALV Disabled\n"); break;
    case kUpsCharging: printf("Charging -> %u%%\n", u->chargePercent); break;
    case kUpsDischarging: printf("Discharging -> %u%%\n", u->chargePercent); break;
    case kUpsUnknown: printf("0x%X\n", u->statusByte); break;
    }
    char version[16];
    VemiUpsVersionText(u, version, sizeof(version));
    printf("DALV Version:            %s\n", version);
    printf("PwrFail Counter:         %u\n", u->failCounter);
    printf("PwrFail Time[0]:         %u\n", u->failTimes[0]);
    printf("PwrFail Time[1]:         %u\n", u->failTimes[1]);
    printf("PwrFail Time[2]:         %u\n", u->failTimes[2]);
}

void GpioFailure(const char* label, uint32_t status)
{
    char line[96];
    FormatGpioFailure(line, sizeof(line), label, status);
    printf("%s\n", line);
}

void UpsGpioRead(const ReportWriter*, const VemiUpsInfo* u)
{
    if (u->gpioRead != 0)
        GpioFailure(GPIO_LABEL, u->gpioRead);
    else
        printf("GPIO Info:   Addr(IO): 0x%04X Bitmask: 0x%02X\n", u->gpio.address + u->gpio.offset, u->gpio.bitmask);
}

void UpsGpioExRead(const ReportWriter*, const VemiUpsInfo* u)
{
    if (u->gpioExRead != 0) {
        GpioFailure(GPIO_EX_LABEL, u->gpioExRead);
        return;
    }
    printf("GPIO InfoEx: Addr: 0x%016" PRIX64 " Bitmask: 0x%016" PRIX64 "\n", u->gpioEx.address, u->gpioEx.bitmask);
    printf("             Type: 0x%04X Length: 0x%04X Flags: 0x%04X\n", u->gpioEx.type, u->gpioEx.length,
           u->gpioEx.flags);
}

void UserEepromRead(const ReportWriter* w, const VemiUserEepromInfo* e)
{
    if (e->status != 0)
        Outcome(OP_USER_EEPROM, e->status);
    else
        HexDump(e->bytes, e->shown, w->bare);
}

} // namespace

ReportWriter TextReportWriter(bool bare)
{
    ReportWriter w = {};
    w.bare = bare;
    w.versionRead = VersionRead;
    w.mainboardRead = MainboardRead;
    w.sensorCountRead = SensorCountRead;
    w.sensorRead = SensorRead;
    w.upsStateRead = UpsStateRead;
    w.upsGpioRead = UpsGpioRead;
    w.upsGpioExRead = UpsGpioExRead;
    w.userEepromRead = UserEepromRead;
    return w;
}
