#include "TextReport.h"

#include <inttypes.h>
#include <stdio.h>

#include "HexDump.h"
#include "Outcome.h"

namespace {

FILE* Out(const ReportWriter* w)
{
    return StreamOut(w->streams);
}

void Outcome(const ReportWriter* w, const char* what, uint32_t status)
{
    char line[256];
    FormatOutcome(line, sizeof(line), what, status);
    fprintf(Out(w), "%s\n", line);
}

void VersionRead(const ReportWriter* w, const VemiVersionInfo* v)
{
    if (v->read.status != 0) {
        Outcome(w, OP_VERSION, v->read.status);
        return;
    }
    char text[32];
    VemiInterfaceVersionText(&v->version, text, sizeof(text));
    fprintf(Out(w), "Vemilex Version:         %s\n", text);
}

void MainboardRead(const ReportWriter* w, const VemiVersionInfo*, const VemiMainboardInfo* b)
{
    if (b == NULL)
        return;
    if (b->read.status != 0) {
        Outcome(w, OP_MAINBOARD, b->read.status);
        return;
    }
    // The name fills all 8 bytes without a terminator when it is 8 characters long.
    char bios[16];
    VemiBiosVersionText(&b->board, bios, sizeof(bios));
    fprintf(Out(w), "Mainboard:               %.8s\nMB-Rev:                  G%u\nBios Version:            %s\n",
           b->board.name, b->board.revision, bios);
}

void SensorCountRead(const ReportWriter* w, const VemiSensorCountInfo* counted)
{
    if (counted->read.status != 0)
        Outcome(w, OP_SENSOR_COUNT, counted->read.status);
}

void SensorRead(const ReportWriter* w, const VemiSensorInfo* s)
{
    if (s->read.status != 0)
        Outcome(w, OP_SENSOR, s->read.status);
    else
        fprintf(Out(w), "%-15.12s: %8.2f %s\n", s->record.description, s->hundredths / 100.0, s->kind->unit);
}

void UpsStateRead(const ReportWriter* w, const VemiUpsInfo* u)
{
    if (!VemiUpsPresent(u)) {
        fprintf(Out(w), "Service not Supported\n");
        return;
    }
    // The values as they stand after the reads, failed or not.
    fprintf(Out(w), "Status:                  ");
    switch (u->state) {
    case kUpsDisabled: fprintf(Out(w), "DALV Disabled\n"); break;
    case kUpsCharging: fprintf(Out(w), "Charging -> %u%%\n", u->chargePercent); break;
    case kUpsDischarging: fprintf(Out(w), "Discharging -> %u%%\n", u->chargePercent); break;
    case kUpsUnknown: fprintf(Out(w), "0x%X\n", u->statusByte); break;
    }
    char version[16];
    VemiUpsVersionText(u, version, sizeof(version));
    fprintf(Out(w), "DALV Version:            %s\n", version);
    fprintf(Out(w), "PwrFail Counter:         %u\n", u->failCounter);
    fprintf(Out(w), "PwrFail Time[0]:         %u\n", u->failTimes[0]);
    fprintf(Out(w), "PwrFail Time[1]:         %u\n", u->failTimes[1]);
    fprintf(Out(w), "PwrFail Time[2]:         %u\n", u->failTimes[2]);
}

void GpioFailure(const ReportWriter* w, const char* label, uint32_t status)
{
    char line[96];
    FormatGpioFailure(line, sizeof(line), label, status);
    fprintf(Out(w), "%s\n", line);
}

void UpsGpioRead(const ReportWriter* w, const VemiUpsInfo* u)
{
    if (u->gpioRead.status != 0)
        GpioFailure(w, GPIO_LABEL, u->gpioRead.status);
    else
        fprintf(Out(w), "GPIO Info:   Addr(IO): 0x%04X Bitmask: 0x%02X\n", u->gpio.address + u->gpio.offset, u->gpio.bitmask);
}

void UpsGpioExRead(const ReportWriter* w, const VemiUpsInfo* u)
{
    if (u->gpioExRead.status != 0) {
        GpioFailure(w, GPIO_EX_LABEL, u->gpioExRead.status);
        return;
    }
    fprintf(Out(w), "GPIO InfoEx: Addr: 0x%016" PRIX64 " Bitmask: 0x%016" PRIX64 "\n", u->gpioEx.address, u->gpioEx.bitmask);
    fprintf(Out(w), "             Type: 0x%04X Length: 0x%04X Flags: 0x%04X\n", u->gpioEx.type, u->gpioEx.length,
           u->gpioEx.flags);
}

void UserEepromRead(const ReportWriter* w, const VemiUserEepromInfo* e)
{
    if (e->read.status != 0)
        Outcome(w, OP_USER_EEPROM, e->read.status);
    else
        HexDump(w->streams, e->bytes, e->shown, w->bare);
}

} // namespace

ReportWriter TextReportWriter(RunStreams* streams, bool bare)
{
    ReportWriter w = {};
    w.streams = streams;
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
