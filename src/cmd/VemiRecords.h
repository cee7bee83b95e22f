// Fixed-layout little-endian records that the driver fills for the reports.
#ifndef VEMI_RECORDS_H
#define VEMI_RECORDS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

// Service 0x0000/0: version of the firmware interface.
struct TVeDevice_Version {
    uint8_t major;
    uint8_t minor;
    uint16_t build;

    // Assigned, not initialised: FreeBSD's <sys/types.h> defines major() and minor().
    TVeDevice_Version(uint8_t ma, uint8_t mi, uint16_t b) : build(b)
    {
        major = ma;
        minor = mi;
    }
};

// Service 0x0000/2: mainboard. `name` is not terminated when it fills all 8 bytes.
struct TVeDevice_MBInfo {
    char name[8];
    uint8_t revision;
    uint8_t biosMajor;
    uint8_t biosMinor;
    uint8_t reserved;

    TVeDevice_MBInfo(const char* boardName, uint8_t rev, uint8_t bMajor, uint8_t bMinor)
        : revision(rev), biosMajor(bMajor), biosMinor(bMinor), reserved(0)
    {
        memset(name, 0, sizeof(name));
        if (boardName != NULL)
            strncpy(name, boardName, sizeof(name));
    }
};

// Service 0x2000/n: one sensor. Only three fields are read; the rest is the driver's.
struct TSensorInfo {
    uint32_t sensorType;
    uint8_t unread0[4];
    int16_t reading;
    uint16_t unread1;
    uint8_t unread2[32];
    char description[12]; // not terminated when it fills all 12 bytes

    explicit TSensorInfo(int) { memset(this, 0, sizeof(*this)); }
};

// Service 0x5000/0xA0: the GPIO line the UPS is wired to.
struct TDalv_GpioInfo {
    uint16_t address;
    uint8_t offset;
    uint8_t bitmask;
    uint32_t reserved;

    TDalv_GpioInfo(uint16_t addr, uint8_t off, uint8_t mask)
        : address(addr), offset(off), bitmask(mask), reserved(0) {}
};

// Service 0x5000/0xA1: the extended GPIO record.
struct Vemi_GpioInfoEx {
    uint16_t type;
    uint16_t length;
    uint16_t flags;
    uint16_t reserved;
    uint64_t address;
    uint64_t bitmask;

    Vemi_GpioInfoEx(uint16_t t, uint16_t len, uint16_t fl, uint64_t addr, uint64_t mask)
        : type(t), length(len), flags(fl), reserved(0), address(addr), bitmask(mask) {}
};

static_assert(sizeof(TVeDevice_Version) == 4 && offsetof(TVeDevice_Version, build) == 2,
              "version record layout");
static_assert(sizeof(TVeDevice_MBInfo) == 12 && offsetof(TVeDevice_MBInfo, revision) == 8 &&
                  offsetof(TVeDevice_MBInfo, biosMajor) == 9 &&
                  offsetof(TVeDevice_MBInfo, biosMinor) == 10,
              "mainboard record layout");
static_assert(sizeof(TSensorInfo) == 56 && offsetof(TSensorInfo, reading) == 8 &&
                  offsetof(TSensorInfo, description) == 44,
              "sensor record layout");
static_assert(sizeof(TDalv_GpioInfo) == 8 && offsetof(TDalv_GpioInfo, offset) == 2 &&
                  offsetof(TDalv_GpioInfo, bitmask) == 3,
              "GPIO record layout");
static_assert(sizeof(Vemi_GpioInfoEx) == 24 && offsetof(Vemi_GpioInfoEx, flags) == 4 &&
                  offsetof(Vemi_GpioInfoEx, address) == 8 &&
                  offsetof(Vemi_GpioInfoEx, bitmask) == 16,
              "extended GPIO record layout");

#endif
