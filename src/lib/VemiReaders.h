// One reader per record: each issues its request, fills a structure with the record
// and the read's status, and decodes what the record means (a sensor's kind, unit
// and scale; the UPS's state and charge). They print nothing and decide nothing
// about output; the reports and the programs do, from these structures.
#ifndef VEMI_READERS_H
#define VEMI_READERS_H

#include <stddef.h>
#include <stdint.h>

#include "VemiChannel.h"
#include "VemiRecords.h"
#include "VemiServices.h"
#include "VemiStatus.h"

// How one read ended: the driver's status, the bytes it said it wrote, and the
// bytes of its record that the reader takes fields from.
struct VemiRead {
    uint32_t status;
    uint32_t returned;
    uint32_t needed;
};

// An answer shorter than the fields read from its record: the driver said success,
// and the record's last fields are not the firmware's. The machine-readable
// outputs take it for a failed read ("short answer: N of M bytes"); the text, as
// it has always, shows the values as they stand.
inline bool VemiShortAnswer(const VemiRead* read)
{
    return read->status == 0 && read->returned < read->needed;
}

// A read that failed: by its status, or, where short answers count (`strict`: the
// machine-readable styles), by a short answer.
inline bool VemiReadFailed(const VemiRead* read, bool strict)
{
    return read->status != 0 || (strict && VemiShortAnswer(read));
}

// The bytes of each record that the readers read fields from.
const uint32_t kVemiVersionBytes = 4;     // major, minor, build
const uint32_t kVemiMainboardBytes = 11;  // name, revision, BIOS (the reserved byte is not read)
const uint32_t kVemiSensorCountBytes = 4;
const uint32_t kVemiSensorBytes = 56;     // up to the description at its end
const uint32_t kVemiUpsStatusBytes = 1;
const uint32_t kVemiUpsVersionBytes = 2;
const uint32_t kVemiUpsCounterBytes = 2;
const uint32_t kVemiUpsTimesBytes = 12;
const uint32_t kVemiGpioBytes = 4;        // address, offset, bitmask
const uint32_t kVemiGpioExBytes = 24;

struct VemiVersionInfo {
    VemiRead read;
    TVemiVersion version;
};
uint32_t VemiReadVersion(VemiChannel* channel, VemiVersionInfo* info);

struct VemiMainboardInfo {
    VemiRead read;
    TVemiMainboard board;
};
uint32_t VemiReadMainboard(VemiChannel* channel, VemiMainboardInfo* info);

// What a sensor type measures: its kind, its unit ("" for none) and whether the
// reading counts hundredths of it. Types 0, 4 and above 5 are "other", unitless.
enum VemiSensorKindId { kSensorOther, kSensorTemperature, kSensorVoltage, kSensorFan, kSensorCurrent };
struct VemiSensorKind {
    VemiSensorKindId id;
    char kind[12]; // its name in the documents
    char unit[8];
    bool hundredths;
};
const VemiSensorKind* VemiSensorKindOf(uint32_t type);

// The highest sensor number; a read that writes nothing leaves 0: no sensors.
struct VemiSensorCountInfo {
    VemiRead read;
    uint32_t count;
};
uint32_t VemiReadSensorCount(VemiChannel* channel, VemiSensorCountInfo* info);

struct VemiSensorInfo {
    uint32_t number;
    VemiRead read;
    TVemiSensor record; // zeroed before the read: a short record shows no earlier one
    const VemiSensorKind* kind;
    int32_t hundredths; // the value in hundredths of the unit: 45 C is 4500, 12.05 Volt 1205
};
uint32_t VemiReadSensor(VemiChannel* channel, uint32_t number, VemiSensorInfo* info);

enum VemiUpsState { kUpsDisabled, kUpsCharging, kUpsDischarging, kUpsUnknown };

// The UPS, read a record at a time as its report shows it: the status (state and
// charge), then its version, power-fail counter and times, then each GPIO record.
// VemiReadUpsStatus starts afresh: every value starts at zero and stands as the
// driver left it, also after a failed read; each read keeps its status.
struct VemiUpsInfo {
    VemiRead statusRead; // VEMI_NOT_SUPPORTED: the board has no UPS, nothing else is read
    uint8_t statusByte;  // high nibble the state, low nibble the charge in tens of percent
    VemiUpsState state;
    unsigned chargePercent;
    bool chargeMeant;    // the charge means something: charging or discharging
    bool chargeValid;    // and it can be: at most 100 %
    VemiRead versionRead;
    uint8_t version[2];  // major, minor
    VemiRead counterRead;
    uint16_t failCounter;
    VemiRead timesRead;
    uint32_t failTimes[3];
    VemiRead gpioRead;   // VemiNotSupported: the board has no such record, an answer
    TVemiGpio gpio;
    VemiRead gpioExRead;
    TVemiGpioEx gpioEx;
};
uint32_t VemiReadUpsStatus(VemiChannel* channel, VemiUpsInfo* info);
uint32_t VemiReadUpsVersion(VemiChannel* channel, VemiUpsInfo* info);
uint32_t VemiReadUpsCounter(VemiChannel* channel, VemiUpsInfo* info);
uint32_t VemiReadUpsTimes(VemiChannel* channel, VemiUpsInfo* info);
uint32_t VemiReadUpsGpio(VemiChannel* channel, VemiUpsInfo* info);
uint32_t VemiReadUpsGpioEx(VemiChannel* channel, VemiUpsInfo* info);
inline bool VemiUpsPresent(const VemiUpsInfo* info)
{
    return info->statusRead.status != VEMI_NOT_SUPPORTED;
}
VemiUpsState VemiUpsStateOf(uint8_t statusByte);
// The state's name in the documents: "disabled", "charging", "discharging", "unknown".
const char* VemiUpsStateName(VemiUpsState state);

// How a record's read ended, as every output tells it: read; not there (the board
// answered that it has no such record: an answer, which the machine-readable
// styles do not count as a failure); or failed, which says nothing either way.
enum VemiRecordState { kRecordRead, kRecordAbsent, kRecordFailed };
// A GPIO record: either of the driver's words for "not supported" is not there.
inline VemiRecordState VemiGpioState(const VemiRead* read, bool strict)
{
    return !VemiReadFailed(read, strict) ? kRecordRead : VemiNotSupported(read->status) ? kRecordAbsent : kRecordFailed;
}
// The UPS itself: not there on a board without one; unknown when its status read failed.
inline VemiRecordState VemiUpsPresence(const VemiUpsInfo* info, bool strict)
{
    return !VemiUpsPresent(info) ? kRecordAbsent : !VemiReadFailed(&info->statusRead, strict) ? kRecordRead
                                                                                            : kRecordFailed;
}

// The versions as every output shows them: the interface's "2.01.0042"; the BIOS's
// "10.05", its two bytes in hexadecimal (the documents' bios_major 16 is "10");
// the UPS's "1.05".
void VemiInterfaceVersionText(const TVemiVersion* version, char* text, size_t size);
void VemiBiosVersionText(const TVemiMainboard* board, char* text, size_t size);
void VemiUpsVersionText(const VemiUpsInfo* ups, char* text, size_t size);

struct VemiUserEepromInfo {
    VemiRead read;                        // returned: as the driver counted them
    uint8_t bytes[VEMI_USER_EEPROM_SIZE]; // zeroed: bytes the driver did not write show as 0
    uint32_t shown;                       // of them, the bytes there are: never more than 128
};
uint32_t VemiReadUserEeprom(VemiChannel* channel, VemiUserEepromInfo* info);

#endif
