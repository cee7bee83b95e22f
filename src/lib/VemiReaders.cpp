#include "VemiReaders.h"

#include <stdio.h>
#include <string.h>

namespace {

// One request into `out`, of which `needed` bytes hold the fields read.
uint32_t Read(VemiChannel* channel, VemiService s, void* out, uint32_t size, uint32_t needed, VemiRead* read)
{
    read->returned = 0;
    read->needed = needed;
    return read->status = VemiChannelRequest(channel, s.group, s.offset, NULL, 0, out, size, &read->returned);
}

} // namespace

uint32_t VemiReadVersion(VemiChannel* channel, VemiVersionInfo* info)
{
    memset(info, 0, sizeof(*info));
    return Read(channel, kVemiVersion, &info->version, sizeof(info->version), kVemiVersionBytes, &info->read);
}

uint32_t VemiReadMainboard(VemiChannel* channel, VemiMainboardInfo* info)
{
    memset(info, 0, sizeof(*info));
    return Read(channel, kVemiMainboard, &info->board, sizeof(info->board), kVemiMainboardBytes, &info->read);
}

const VemiSensorKind* VemiSensorKindOf(uint32_t type)
{
    static const VemiSensorKind kinds[] = {
        {kSensorOther, "other", "", false},     {kSensorTemperature, "temperature", "C", false},
        {kSensorVoltage, "voltage", "Volt", true}, {kSensorFan, "fan", "RPM", false},
        {kSensorOther, "other", "", false},     {kSensorCurrent, "current", "A", true}};
    return &kinds[type < 6 ? type : 0];
}

uint32_t VemiReadSensorCount(VemiChannel* channel, VemiSensorCountInfo* info)
{
    memset(info, 0, sizeof(*info));
    return Read(channel, kVemiSensorCount, &info->count, sizeof(info->count), kVemiSensorCountBytes, &info->read);
}

uint32_t VemiReadSensor(VemiChannel* channel, uint32_t number, VemiSensorInfo* info)
{
    memset(info, 0, sizeof(*info));
    info->number = number;
    Read(channel, {kVemiSensorGroup, number}, &info->record, sizeof(info->record), kVemiSensorBytes, &info->read);
    info->kind = VemiSensorKindOf(info->record.sensorType);
    info->hundredths = info->kind->hundredths ? info->record.reading : info->record.reading * 100;
    return info->read.status;
}

VemiUpsState VemiUpsStateOf(uint8_t statusByte)
{
    switch (statusByte & 0xF0) {
    case 0xA0: return kUpsDisabled;
    case 0xC0: return kUpsCharging;
    case 0xD0: return kUpsDischarging;
    default: return kUpsUnknown;
    }
}

const char* VemiUpsStateName(VemiUpsState state)
{
    static const char names[4][12] = {"disabled", "charging", "discharging", "unknown"};
    return names[state];
}

void VemiInterfaceVersionText(const TVemiVersion* version, char* text, size_t size)
{
    snprintf(text, size, "%u.%02u.%04u", version->major, version->minor, version->build);
}

void VemiBiosVersionText(const TVemiMainboard* board, char* text, size_t size)
{
    snprintf(text, size, "%X.%02X", board->biosMajor, board->biosMinor);
}

void VemiUpsVersionText(const VemiUpsInfo* ups, char* text, size_t size)
{
    snprintf(text, size, "%u.%02u", ups->version[0], ups->version[1]);
}

uint32_t VemiReadUpsStatus(VemiChannel* channel, VemiUpsInfo* info)
{
    memset(info, 0, sizeof(*info));
    Read(channel, kVemiUpsStatus, &info->statusByte, sizeof(info->statusByte), kVemiUpsStatusBytes, &info->statusRead);
    info->state = VemiUpsStateOf(info->statusByte);
    info->chargePercent = (info->statusByte & 0x0Fu) * 10;
    info->chargeMeant = info->state == kUpsCharging || info->state == kUpsDischarging;
    info->chargeValid = info->chargeMeant && info->chargePercent <= 100;
    return info->statusRead.status;
}

uint32_t VemiReadUpsVersion(VemiChannel* channel, VemiUpsInfo* info)
{
    return Read(channel, kVemiUpsVersion, info->version, sizeof(info->version), kVemiUpsVersionBytes,
                &info->versionRead);
}

uint32_t VemiReadUpsCounter(VemiChannel* channel, VemiUpsInfo* info)
{
    return Read(channel, kVemiUpsFailCounter, &info->failCounter, sizeof(info->failCounter), kVemiUpsCounterBytes,
                &info->counterRead);
}

uint32_t VemiReadUpsTimes(VemiChannel* channel, VemiUpsInfo* info)
{
    return Read(channel, kVemiUpsFailTimes, info->failTimes, sizeof(info->failTimes), kVemiUpsTimesBytes,
                &info->timesRead);
}

uint32_t VemiReadUpsGpio(VemiChannel* channel, VemiUpsInfo* info)
{
    return Read(channel, kVemiUpsGpio, &info->gpio, sizeof(info->gpio), kVemiGpioBytes, &info->gpioRead);
}

uint32_t VemiReadUpsGpioEx(VemiChannel* channel, VemiUpsInfo* info)
{
    return Read(channel, kVemiUpsGpioEx, &info->gpioEx, sizeof(info->gpioEx), kVemiGpioExBytes, &info->gpioExRead);
}

uint32_t VemiReadUserEeprom(VemiChannel* channel, VemiUserEepromInfo* info)
{
    memset(info, 0, sizeof(*info));
    Read(channel, kVemiUserEeprom, info->bytes, sizeof(info->bytes), 0, &info->read);
    info->shown = info->read.returned < VEMI_USER_EEPROM_SIZE ? info->read.returned : VEMI_USER_EEPROM_SIZE;
    return info->read.status;
}
