#include "VemiReaders.h"

#include <stdio.h>
#include <string.h>

namespace {

uint32_t Read(VemiChannel* channel, VemiService s, void* out, uint32_t size, uint32_t* returned)
{
    *returned = 0;
    return VemiChannelRequest(channel, s.group, s.offset, NULL, 0, out, size, returned);
}

} // namespace

uint32_t VemiReadVersion(VemiChannel* channel, VemiVersionInfo* info)
{
    memset(info, 0, sizeof(*info));
    return info->status = Read(channel, kVemiVersion, &info->version, sizeof(info->version), &info->returned);
}

uint32_t VemiReadMainboard(VemiChannel* channel, VemiMainboardInfo* info)
{
    memset(info, 0, sizeof(*info));
    return info->status = Read(channel, kVemiMainboard, &info->board, sizeof(info->board), &info->returned);
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
    return info->status = Read(channel, kVemiSensorCount, &info->count, sizeof(info->count), &info->returned);
}

uint32_t VemiReadSensor(VemiChannel* channel, uint32_t number, VemiSensorInfo* info)
{
    memset(info, 0, sizeof(*info));
    info->number = number;
    info->status = Read(channel, {kVemiSensorGroup, number}, &info->record, sizeof(info->record), &info->returned);
    info->kind = VemiSensorKindOf(info->record.sensorType);
    info->hundredths = info->kind->hundredths ? info->record.reading : info->record.reading * 100;
    return info->status;
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
    info->statusRead = Read(channel, kVemiUpsStatus, &info->statusByte, sizeof(info->statusByte), &info->statusReturned);
    info->state = VemiUpsStateOf(info->statusByte);
    info->chargePercent = (info->statusByte & 0x0Fu) * 10;
    info->chargeMeant = info->state == kUpsCharging || info->state == kUpsDischarging;
    info->chargeValid = info->chargeMeant && info->chargePercent <= 100;
    return info->statusRead;
}

uint32_t VemiReadUpsVersion(VemiChannel* channel, VemiUpsInfo* info)
{
    return info->versionRead =
               Read(channel, kVemiUpsVersion, info->version, sizeof(info->version), &info->versionReturned);
}

uint32_t VemiReadUpsCounter(VemiChannel* channel, VemiUpsInfo* info)
{
    return info->counterRead =
               Read(channel, kVemiUpsFailCounter, &info->failCounter, sizeof(info->failCounter), &info->counterReturned);
}

uint32_t VemiReadUpsTimes(VemiChannel* channel, VemiUpsInfo* info)
{
    return info->timesRead =
               Read(channel, kVemiUpsFailTimes, info->failTimes, sizeof(info->failTimes), &info->timesReturned);
}

void VemiReadUpsGpio(VemiChannel* channel, VemiUpsInfo* info)
{
    info->gpioRead = Read(channel, kVemiUpsGpio, &info->gpio, sizeof(info->gpio), &info->gpioReturned);
}

void VemiReadUpsGpioEx(VemiChannel* channel, VemiUpsInfo* info)
{
    info->gpioExRead = Read(channel, kVemiUpsGpioEx, &info->gpioEx, sizeof(info->gpioEx), &info->gpioExReturned);
}

uint32_t VemiReadUserEeprom(VemiChannel* channel, VemiUserEepromInfo* info)
{
    memset(info, 0, sizeof(*info));
    info->status = VemiChannelRequest(channel, kVemiUserEeprom.group, kVemiUserEeprom.offset, NULL, 0, info->bytes,
                                      sizeof(info->bytes), &info->returned);
    info->shown = info->returned < VEMI_USER_EEPROM_SIZE ? info->returned : VEMI_USER_EEPROM_SIZE;
    return info->status;
}
