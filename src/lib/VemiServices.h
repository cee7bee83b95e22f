// The firmware services, each an index group and an index offset, with the sizes
// their records take. Every request of the programs names one of these; the direct
// call alone takes any.
#ifndef VEMI_SERVICES_H
#define VEMI_SERVICES_H

#include <stdint.h>

struct VemiService {
    uint32_t group, offset;
};

const VemiService kVemiVersion = {0x0000, 0};          // TVemiVersion, 4 bytes
const VemiService kVemiMainboard = {0x0000, 2};        // TVemiMainboard, 12 bytes
const VemiService kVemiSensorCount = {0x2000, 0};      // highest sensor number, 4 bytes
const uint32_t kVemiSensorGroup = 0x2000;              // offset n: TVemiSensor of sensor n
const VemiService kVemiUpsStatus = {0x5000, 1};        // status byte: state and charge
const VemiService kVemiUpsVersion = {0x5000, 2};       // major, minor
const VemiService kVemiUpsFailCounter = {0x5000, 3};   // power failures counted, 16 bits
const VemiService kVemiUpsFailTimes = {0x5000, 4};     // three power-fail times, 32 bits each
const VemiService kVemiUpsGpio = {0x5000, 0xA0};       // TVemiGpio, 8 bytes
const VemiService kVemiUpsGpioEx = {0x5000, 0xA1};     // TVemiGpioEx, 24 bytes
const VemiService kVemiWdtPowerControl = {0x6000, 4};  // one input byte: 1 switches the mode on
const VemiService kVemiWdtTime = {0x6000, 0};          // one input byte: seconds; 0 disarms
const VemiService kVemiWdtRetrigger = {0x6000, 6};     // no buffers
const VemiService kVemiUserEeprom = {0x7000, 0};       // 128 bytes

#define VEMI_USER_EEPROM_SIZE 128

#endif
