// The fixed-layout little-endian records that the driver fills, one per service.
#ifndef VEMI_RECORDS_H
#define VEMI_RECORDS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// The firmware interface's version.
struct TVemiVersion {
    uint8_t major;
    uint8_t minor;
    uint16_t build;
};

// The mainboard. `name` is not terminated when it fills all 8 bytes.
struct TVemiMainboard {
    char name[8];
    uint8_t revision;
    uint8_t biosMajor;
    uint8_t biosMinor;
    uint8_t reserved;
};

// One sensor. Three fields are read; the rest is the driver's, carried unread.
struct TVemiSensor {
    uint32_t sensorType;
    uint8_t unread0[4];
    int16_t reading;
    uint16_t unread1;
    uint8_t unread2[32];
    char description[12]; // not terminated when it fills all 12 bytes
};

// The GPIO line the UPS is wired to.
struct TVemiGpio {
    uint16_t address;
    uint8_t offset;
    uint8_t bitmask;
    uint32_t reserved;
};

// The extended GPIO record.
struct TVemiGpioEx {
    uint16_t type;
    uint16_t length;
    uint16_t flags;
    uint16_t reserved;
    uint64_t address;
    uint64_t bitmask;
};

static_assert(sizeof(TVemiVersion) == 4 && offsetof(TVemiVersion, build) == 2, "version record layout");
static_assert(sizeof(TVemiMainboard) == 12 && offsetof(TVemiMainboard, revision) == 8 &&
                  offsetof(TVemiMainboard, biosMajor) == 9 && offsetof(TVemiMainboard, biosMinor) == 10,
              "mainboard record layout");
static_assert(sizeof(TVemiSensor) == 56 && offsetof(TVemiSensor, reading) == 8 &&
                  offsetof(TVemiSensor, description) == 44,
              "sensor record layout");
static_assert(sizeof(TVemiGpio) == 8 && offsetof(TVemiGpio, offset) == 2 && offsetof(TVemiGpio, bitmask) == 3,
              "GPIO record layout");
static_assert(sizeof(TVemiGpioEx) == 24 && offsetof(TVemiGpioEx, flags) == 4 &&
                  offsetof(TVemiGpioEx, address) == 8 && offsetof(TVemiGpioEx, bitmask) == 16,
              "extended GPIO record layout");

#endif
