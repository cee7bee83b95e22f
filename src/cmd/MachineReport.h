// The machine-readable forms of the reports. The reports hand over each record as
// read (null where a read failed or was not made) and each failure; in the JSON
// style every command's member is written when the command ends, so the members
// come in table order; in the Prometheus style values are kept and written, family
// by family, at the end. In the text style every call does nothing.
#ifndef VEMI_MACHINE_REPORT_H
#define VEMI_MACHINE_REPORT_H

#include <stdint.h>

#include "VemiRecords.h"

// The document's head; its errors and exit status, or the metrics. An exit status
// below 0 means that the process is ending by the signal -exitStatus.
void MachineBegin(void);
void MachineEnd(int exitStatus);
void MachineFailure(const char* operation, int64_t status, const char* message);
void MachineFailedSensor(uint32_t number); // the failure just added was this sensor's read
void MachineOpenFailed(int error);          // the device node could not be opened

// The reports the run asks for (version, sensors, user_eeprom, watchdog_test, ups,
// direct_call), in table order, before the device is opened; then each report's
// run: its failures name it, and its outcome is the document's and the metrics'.
void MachineReportRequested(const char* name);
void MachineReportBegin(const char* name);
void MachineReportDone(const char* name, bool succeeded);
void MachineReportSkipped(const char* name); // not run: null in its place

void MachineVersion(const TVeDevice_Version* version, const TVeDevice_MBInfo* board);

// The sensor walk: begun once the count was read (counted false: it could not be).
void MachineSensorsBegin(bool counted);
void MachineSensor(uint32_t number, const TSensorInfo* info); // null: its read failed
void MachineSensorsEnd(void);

void MachineUserEeprom(const uint8_t* data, uint32_t shown, uint32_t returned); // null: failed

// Each read's status in order: status byte, version, counter, times, GPIO record,
// extended GPIO record; null: the board has no UPS.
void MachineUps(const uint32_t* reads, uint8_t status, const uint8_t* version, uint16_t counter,
                const uint32_t* times, const TDalv_GpioInfo* gpio, const Vemi_GpioInfoEx* gpioEx);

enum WatchdogOutcome { kWdtNotArmed, kWdtCompleted, kWdtRetriggerFailed, kWdtKeyPressed, kWdtSignal };
struct WatchdogRecord {
    uint8_t seconds, interval;   // armed time and retrigger interval
    uint32_t retriggers;         // done
    WatchdogOutcome outcome;
    int signal;                  // for kWdtSignal
    bool disarmed;               // a disarm was sent
    uint32_t disarmStatus;
};
void MachineWatchdog(const WatchdogRecord* wdt);

void MachineDirectCall(uint32_t group, uint32_t offset, const uint8_t* in, uint32_t inLen, const uint8_t* out,
                       uint32_t outLen, uint32_t result, uint32_t returned);

// The start state, for another run in the same process.
void ResetMachineReport(void);

#endif
