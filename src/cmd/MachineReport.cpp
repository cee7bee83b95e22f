#include "MachineReport.h"

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ExitStatus.h"
#include "JsonWriter.h"
#include "OutputStyle.h"
#include "PromWriter.h"
#include "Sensors.h"
#include "ToolVersion.h"
#include "VemiInterface.h"

namespace {

struct Failure {
    char report[16];    // the report it belongs to; empty: the run's
    uint32_t sensor;    // the sensor whose read failed; 0: none
    char operation[64];
    int64_t status;
    int error;          // a failed open's error number; 0: none
    char message[192];
};
const int kMaxFailures = 32; // more are counted, not kept
Failure sFailures[kMaxFailures];
int sFailureCount = 0;
bool sStarted = false; // a document is open

// The reports the command line asks for, in table order, and how each ended.
enum ReportState { kReportNotRun, kReportSucceeded, kReportFailed };
struct Report {
    char name[16];
    ReportState state;
};
const int kMaxReports = 8;
Report sReports[kMaxReports];
int sReportCount = 0;
const char* sCurrentReport = ""; // the report running now
int sOpenError = 0;              // the device node's open failed with this error number

// The Prometheus families, each collecting its samples until the end. The texts
// are arrays, not pointers, so that the table costs no relocation at start-up.
struct Family {
    char name[32];
    char type[8];
    char help[80];
};
enum { kInfo, kTemperature, kVoltage, kFan, kCurrent, kRaw, kUpsSupported, kUpsState, kUpsOnBattery,
       kUpsCharge, kUpsFailures, kUpsFailTime, kUpsGpioSupported, kDeviceOpenErrno, kCollector, kSuccess,
       kFamilies };
const Family kFamilyTable[kFamilies] = {
    {"vemi_info", "gauge", "Versions of the firmware interface, the mainboard and its BIOS, as labels."},
    {"vemi_temperature_celsius", "gauge", "Temperature sensors, in degrees Celsius."},
    {"vemi_voltage_volts", "gauge", "Voltage sensors, in volts."},
    {"vemi_fan_speed_rpm", "gauge", "Fan sensors, in revolutions per minute."},
    {"vemi_current_amperes", "gauge", "Current sensors, in amperes."},
    {"vemi_sensor_raw", "gauge", "Sensors of other types: the raw reading, no unit, with the type as a label."},
    {"vemi_ups_supported", "gauge", "Whether the board has the built-in UPS (1) or not (0)."},
    {"vemi_ups_state", "gauge", "The UPS state: 1 for the current one, 0 for the others."},
    {"vemi_ups_on_battery", "gauge", "Whether the UPS runs on battery (1: discharging) or not (0)."},
    {"vemi_ups_charge_ratio", "gauge", "The UPS charge while charging or discharging, as a ratio (1 is full)."},
    {"vemi_ups_power_failures_total", "counter", "Power failures the UPS has counted."},
    {"vemi_ups_power_fail_time_raw", "gauge", "The UPS's power-fail times, as it reports them, no unit."},
    {"vemi_ups_gpio_supported", "gauge", "Whether the board has each GPIO record of the UPS (1) or not (0)."},
    {"vemi_device_open_errno", "gauge", "The error number of opening /dev/vemix; 0 once it is open."},
    {"vemi_collector_success", "gauge", "Whether each report read all it reads (1) or failed (0)."},
    {"vemi_success", "gauge", "Whether the run succeeded (1: exit status 0) or not (0)."},
};
struct Samples {
    char* text;
    size_t length, capacity;
};
Samples sSamples[kFamilies];

void Sample(int family, const char* labels, const char* value)
{
    Samples& f = sSamples[family];
    char line[1024]; // labels are built in 256 bytes: a line always fits
    int n = PromSampleLine(line, sizeof(line), kFamilyTable[family].name, labels, value);
    if (n < 0 || (size_t)n >= sizeof(line))
        return;
    if (f.length + (size_t)n + 1 > f.capacity) {
        size_t capacity = (f.capacity + (size_t)n + 1) * 2;
        char* grown = (char*)realloc(f.text, capacity);
        if (grown == NULL)
            return;
        f.text = grown;
        f.capacity = capacity;
    }
    memcpy(f.text + f.length, line, (size_t)n + 1);
    f.length += (size_t)n;
}

void Collector(const char* name, bool ok)
{
    char labels[64] = "";
    PromLabel(labels, sizeof(labels), "collector", name, 16);
    Sample(kCollector, labels, ok ? "1" : "0");
}

bool Json()
{
    return gOutputStyle == kStyleJson || gOutputStyle == kStyleJsonPretty;
}

// PrintVemiError's line: a failure for the document, a success for the person.
void Sink(const char* what, uint32_t status, const char* line)
{
    if (status == 0) {
        Say("%s", line);
        return;
    }
    char message[192];
    snprintf(message, sizeof(message), "%.*s", (int)strcspn(line, "\n"), line);
    MachineFailure(what, status, message);
}

Report* FindReport(const char* name)
{
    for (int i = 0; i < sReportCount; i++)
        if (strcmp(sReports[i].name, name) == 0)
            return &sReports[i];
    return NULL;
}

void JsonErrors(void)
{
    JsonBeginArray("errors");
    for (int i = 0; i < sFailureCount && i < kMaxFailures; i++) {
        const Failure& f = sFailures[i];
        JsonBeginObject(NULL);
        f.report[0] ? JsonString("report", f.report, sizeof(f.report)) : JsonNull("report");
        if (f.sensor != 0)
            JsonUint("sensor", f.sensor);
        JsonString("operation", f.operation, sizeof(f.operation));
        JsonInt("status", f.status);
        if (f.error != 0) {
            JsonInt("errno", f.error);
            JsonString("reason", strerror(f.error), 128);
        }
        JsonString("message", f.message, sizeof(f.message));
        JsonEndObject();
    }
    JsonEndArray();
}

// A signal by its name, as kill -l gives it.
void JsonSignal(const char* key, int sig)
{
    static const struct {
        int sig;
        char name[12];
    } names[] = {{SIGHUP, "SIGHUP"}, {SIGINT, "SIGINT"}, {SIGQUIT, "SIGQUIT"}, {SIGILL, "SIGILL"},
                 {SIGTRAP, "SIGTRAP"}, {SIGABRT, "SIGABRT"}, {SIGBUS, "SIGBUS"}, {SIGFPE, "SIGFPE"},
                 {SIGUSR1, "SIGUSR1"}, {SIGSEGV, "SIGSEGV"}, {SIGUSR2, "SIGUSR2"}, {SIGPIPE, "SIGPIPE"},
                 {SIGALRM, "SIGALRM"}, {SIGTERM, "SIGTERM"}, {SIGXCPU, "SIGXCPU"}, {SIGXFSZ, "SIGXFSZ"},
                 {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"}, {SIGSYS, "SIGSYS"}};
    char name[24];
    snprintf(name, sizeof(name), "signal %d", sig);
    for (const auto& n : names)
        if (n.sig == sig)
            snprintf(name, sizeof(name), "%s", n.name);
#ifdef SIGRTMIN
    if (sig >= SIGRTMIN && sig <= SIGRTMAX)
        snprintf(name, sizeof(name), "SIGRTMIN+%d", sig - SIGRTMIN);
#endif
    JsonString(key, name, sizeof(name));
}

void Number(char* out, size_t size, uint64_t value)
{
    snprintf(out, size, "%llu", (unsigned long long)value);
}

// A GPIO record: an object left open for its fields when it was read, closed with
// supported false when the board has none, null when its read failed.
bool JsonGpioBegin(const char* key, uint32_t read)
{
    if (read != 0 && !VemiNotSupported(read)) {
        JsonNull(key);
        return false;
    }
    JsonBeginObject(key);
    JsonBool("supported", read == 0);
    if (read != 0)
        JsonEndObject();
    return read == 0;
}

} // namespace

void MachineBegin(void)
{
    if (!MachineOutput())
        return;
    gVemiErrorSink = Sink;
    sStarted = true;
    if (!Json())
        return;
    JsonStart(gOutputStyle == kStyleJsonPretty);
    JsonBeginObject(NULL);
    JsonBeginArray("json_format_version");
    JsonUint(NULL, 1);
    JsonUint(NULL, 1);
    JsonEndArray();
    JsonBeginObject("tool");
    JsonString("name", "VemiCmd", 8);
    char version[32];
    snprintf(version, sizeof(version), "%u.%02u.%04u", VEMI_VERSION_MAJOR, VEMI_VERSION_MINOR, VEMI_VERSION_PATCH);
    JsonString("version", version, sizeof(version));
    JsonEndObject();
}

void MachineFailure(const char* operation, int64_t status, const char* message)
{
    if (!MachineOutput())
        return;
    if (sFailureCount < kMaxFailures) {
        Failure& f = sFailures[sFailureCount];
        snprintf(f.report, sizeof(f.report), "%s", sCurrentReport);
        f.sensor = 0;
        snprintf(f.operation, sizeof(f.operation), "%s", operation);
        f.status = status;
        f.error = 0;
        snprintf(f.message, sizeof(f.message), "%s", message);
    }
    sFailureCount++;
}

void MachineFailedSensor(uint32_t number)
{
    if (sFailureCount > 0 && sFailureCount <= kMaxFailures)
        sFailures[sFailureCount - 1].sensor = number;
}

void MachineOpenFailed(int error)
{
    sOpenError = error;
    MachineFailure("Open '" VEMI_DEVICE_PATH "'", -1, "Open '" VEMI_DEVICE_PATH "' failed");
    if (sFailureCount > 0 && sFailureCount <= kMaxFailures)
        sFailures[sFailureCount - 1].error = error;
}

void MachineReportRequested(const char* name)
{
    if (!MachineOutput() || FindReport(name) != NULL || sReportCount == kMaxReports)
        return;
    snprintf(sReports[sReportCount].name, sizeof(sReports[sReportCount].name), "%s", name);
    sReports[sReportCount++].state = kReportNotRun;
}

void MachineReportBegin(const char* name)
{
    sCurrentReport = name;
    MachineReportRequested(name);
}

void MachineReportSkipped(const char* name)
{
    if (Json())
        JsonNull(name);
}

void MachineReportDone(const char* name, bool succeeded)
{
    Report* r = FindReport(name);
    if (r != NULL)
        r->state = succeeded ? kReportSucceeded : kReportFailed;
    sCurrentReport = "";
}

void MachineEnd(int exitStatus)
{
    if (!sStarted)
        return;
    sStarted = false;
    if (Json()) {
        JsonBeginObject("reports");
        for (int i = 0; i < sReportCount; i++)
            JsonBool(sReports[i].name, sReports[i].state == kReportSucceeded);
        JsonEndObject();
        JsonErrors();
        if (exitStatus >= 0) {
            JsonUint("exit_status", (uint64_t)exitStatus);
        } else {
            JsonNull("exit_status");
            JsonSignal("ended_by_signal", -exitStatus);
        }
        JsonEndObject();
        JsonFinish();
    } else {
        char errno_[16];
        Number(errno_, sizeof(errno_), (uint64_t)sOpenError);
        Sample(kDeviceOpenErrno, "", errno_);
        for (int i = 0; i < sReportCount; i++)
            Collector(sReports[i].name, sReports[i].state == kReportSucceeded);
        Sample(kSuccess, "", exitStatus == 0 ? "1" : "0");
        for (int i = 0; i < kFamilies; i++) {
            if (sSamples[i].length == 0)
                continue;
            PromFamily(kFamilyTable[i].name, kFamilyTable[i].type, kFamilyTable[i].help);
            fputs(sSamples[i].text, stdout);
        }
    }
    FlushOutput(); // keeps the cause of a failed write
}

void MachineVersion(const TVeDevice_Version* version, const TVeDevice_MBInfo* board)
{
    if (!MachineOutput())
        return;
    char text[32] = "", bios[16] = "";
    if (version != NULL)
        snprintf(text, sizeof(text), "%u.%02u.%04u", version->major, version->minor, version->build);
    if (board != NULL)
        snprintf(bios, sizeof(bios), "%X.%02X", board->biosMajor, board->biosMinor);
    if (!Json()) {
        if (board == NULL)
            return;
        char labels[256] = "", revision[8];
        snprintf(revision, sizeof(revision), "G%u", board->revision);
        PromLabel(labels, sizeof(labels), "interface_version", text, sizeof(text));
        PromLabel(labels, sizeof(labels), "mainboard", board->name, sizeof(board->name));
        PromLabel(labels, sizeof(labels), "mainboard_revision", revision, sizeof(revision));
        PromLabel(labels, sizeof(labels), "bios_version", bios, sizeof(bios));
        Sample(kInfo, labels, "1");
        return;
    }
    JsonBeginObject("version");
    if (version != NULL) {
        JsonBeginObject("interface");
        JsonUint("major", version->major);
        JsonUint("minor", version->minor);
        JsonUint("build", version->build);
        JsonString("text", text, sizeof(text));
        JsonEndObject();
    } else {
        JsonNull("interface");
    }
    if (board != NULL) {
        JsonBeginObject("mainboard");
        JsonString("name", board->name, sizeof(board->name));
        JsonUint("revision", board->revision);
        JsonUint("bios_major", board->biosMajor);
        JsonUint("bios_minor", board->biosMinor);
        JsonString("bios_version", bios, sizeof(bios));
        JsonEndObject();
    } else {
        JsonNull("mainboard");
    }
    JsonEndObject();
}

static bool sSensorsListed = false;

void MachineSensorsBegin(bool counted)
{
    sSensorsListed = counted;
    if (Json())
        counted ? JsonBeginArray("sensors") : JsonNull("sensors");
}

void MachineSensor(uint32_t number, const TSensorInfo* info)
{
    if (!MachineOutput())
        return;
    if (info == NULL) {
        if (Json())
            JsonNull(NULL);
        return;
    }
    // The value and unit as the listing shows them.
    uint32_t type = info->sensorType;
    const SensorKind* kind = SensorKindOf(type);
    char value[32];
    if (kind->hundredths)
        FormatHundredths(info->reading, value, sizeof(value));
    else
        snprintf(value, sizeof(value), "%d", info->reading);
    if (!Json()) {
        char labels[256] = "", n[16], t[16];
        Number(n, sizeof(n), number);
        Number(t, sizeof(t), type);
        // An empty label value is the same as no label: a sensor without a name is its number.
        bool named = info->description[0] != '\0';
        PromLabel(labels, sizeof(labels), "sensor", named ? info->description : n,
                  named ? sizeof(info->description) : sizeof(n));
        PromLabel(labels, sizeof(labels), "number", n, sizeof(n));
        int family = type == 1 ? kTemperature : type == 2 ? kVoltage : type == 3 ? kFan : type == 5 ? kCurrent : kRaw;
        if (family == kRaw)
            PromLabel(labels, sizeof(labels), "type", t, sizeof(t));
        Sample(family, labels, value);
        return;
    }
    JsonBeginObject(NULL);
    JsonUint("number", number);
    JsonString("name", info->description, sizeof(info->description));
    JsonUint("type", type);
    JsonString("kind", kind->kind, sizeof(kind->kind));
    JsonInt("raw", info->reading);
    JsonNumber("value", value);
    kind->unit[0] ? JsonString("unit", kind->unit, sizeof(kind->unit)) : JsonNull("unit");
    JsonEndObject();
}

void MachineSensorsEnd(void)
{
    if (Json() && sSensorsListed)
        JsonEndArray();
}

void MachineUserEeprom(const uint8_t* data, uint32_t shown, uint32_t returned)
{
    if (!Json())
        return;
    if (data == NULL) {
        JsonNull("user_eeprom");
        return;
    }
    JsonBeginObject("user_eeprom");
    JsonUint("bytes_returned", returned);
    JsonHex("data", data, shown);
    JsonEndObject();
}

void MachineUps(const uint32_t* reads, uint8_t status, const uint8_t* version, uint16_t counter,
                const uint32_t* times, const TDalv_GpioInfo* gpio, const Vemi_GpioInfoEx* gpioEx)
{
    if (!MachineOutput())
        return;
    static const char states[4][12] = {"disabled", "charging", "discharging", "unknown"};
    int state = (status & 0xF0) == 0xA0 ? 0 : (status & 0xF0) == 0xC0 ? 1 : (status & 0xF0) == 0xD0 ? 2 : 3;
    unsigned percent = (status & 0x0Fu) * 10;
    bool charged = state == 1 || state == 2; // the charge means something in these states alone
    if (!Json()) {
        // Known when the status read answered: a failed read says nothing either way.
        if (reads == NULL || reads[0] == 0)
            Sample(kUpsSupported, "", reads != NULL ? "1" : "0");
        if (reads != NULL && reads[0] == 0) {
            for (int i = 0; i < 4; i++) {
                char labels[64] = "";
                PromLabel(labels, sizeof(labels), "state", states[i], 16);
                Sample(kUpsState, labels, i == state ? "1" : "0");
            }
            Sample(kUpsOnBattery, "", state == 2 ? "1" : "0");
            char ratio[16];
            snprintf(ratio, sizeof(ratio), "%u.%02u", percent / 100, percent % 100);
            if (charged)
                Sample(kUpsCharge, "", ratio);
        }
        char value[32];
        if (reads != NULL && reads[2] == 0) {
            Number(value, sizeof(value), counter);
            Sample(kUpsFailures, "", value);
        }
        for (int i = 0; reads != NULL && reads[3] == 0 && i < 3; i++) {
            char labels[64] = "", index[4];
            Number(index, sizeof(index), (uint64_t)i);
            PromLabel(labels, sizeof(labels), "index", index, sizeof(index));
            Number(value, sizeof(value), times[i]);
            Sample(kUpsFailTime, labels, value);
        }
        for (int i = 4; reads != NULL && i < 6; i++) {
            if (reads[i] != 0 && !VemiNotSupported(reads[i]))
                continue; // not read: neither there nor not
            char labels[64] = "";
            PromLabel(labels, sizeof(labels), "record", i == 4 ? "gpio" : "gpio_ex", 8);
            Sample(kUpsGpioSupported, labels, reads[i] == 0 ? "1" : "0");
        }
        return;
    }
    JsonBeginObject("ups");
    JsonBool("supported", reads != NULL);
    if (reads != NULL) {
        if (reads[0] == 0) {
            JsonBeginObject("status");
            JsonString("state", states[state], 16);
            charged ? JsonUint("charge_percent", percent) : JsonNull("charge_percent");
            JsonUint("byte", status);
            JsonEndObject();
        } else {
            JsonNull("status");
        }
        if (reads[1] == 0) {
            char text[16];
            snprintf(text, sizeof(text), "%u.%02u", version[0], version[1]);
            JsonBeginObject("version");
            JsonUint("major", version[0]);
            JsonUint("minor", version[1]);
            JsonString("text", text, sizeof(text));
            JsonEndObject();
        } else {
            JsonNull("version");
        }
        reads[2] == 0 ? JsonUint("power_fail_counter", counter) : JsonNull("power_fail_counter");
        if (reads[3] == 0) {
            JsonBeginArray("power_fail_times");
            for (int i = 0; i < 3; i++)
                JsonUint(NULL, times[i]);
            JsonEndArray();
        } else {
            JsonNull("power_fail_times");
        }
        if (JsonGpioBegin("gpio", reads[4])) {
            JsonUint("address", (uint32_t)gpio->address + gpio->offset);
            JsonUint("bitmask", gpio->bitmask);
            JsonEndObject();
        }
        if (JsonGpioBegin("gpio_ex", reads[5])) {
            JsonUint("type", gpioEx->type);
            JsonUint("length", gpioEx->length);
            JsonUint("flags", gpioEx->flags);
            JsonUint("address", gpioEx->address);
            JsonUint("bitmask", gpioEx->bitmask);
            JsonEndObject();
        }
    }
    JsonEndObject();
}

void MachineWatchdog(const WatchdogRecord* wdt)
{
    if (!Json())
        return;
    static const char outcomes[5][20] = {"not_armed", "completed", "retrigger_failed", "key_pressed", "signal"};
    JsonBeginObject("watchdog_test");
    JsonUint("watchdog_seconds", wdt->seconds);
    JsonUint("retrigger_interval_seconds", wdt->interval);
    JsonUint("retriggers", wdt->retriggers);
    JsonString("outcome", outcomes[wdt->outcome], 24);
    if (wdt->outcome == kWdtSignal)
        JsonSignal("signal", wdt->signal);
    wdt->disarmed ? JsonUint("disarm_status", wdt->disarmStatus) : JsonNull("disarm_status");
    JsonEndObject();
}

void MachineDirectCall(uint32_t group, uint32_t offset, const uint8_t* in, uint32_t inLen, const uint8_t* out,
                       uint32_t outLen, uint32_t result, uint32_t returned)
{
    if (!Json())
        return;
    JsonBeginObject("direct_call");
    JsonUint("index_group", group);
    JsonUint("index_offset", offset);
    JsonHex("in", in, in != NULL ? inLen : 0);
    JsonUint("out_length", outLen);
    JsonUint("result", result);
    JsonUint("bytes_returned", returned);
    out != NULL || outLen == 0 ? JsonHex("out", out, out != NULL ? outLen : 0) : JsonNull("out");
    JsonEndObject();
}

void ResetMachineReport(void)
{
    sFailureCount = 0;
    sReportCount = 0;
    sCurrentReport = "";
    sOpenError = 0;
    sStarted = false;
    for (Samples& f : sSamples)
        f.length = 0;
    gVemiErrorSink = NULL;
}
