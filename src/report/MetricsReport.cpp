#include "MetricsReport.h"

#include <stdlib.h>
#include <string.h>

#include "Hundredths.h"
#include "PromWriter.h"
#include "Reports.h"

namespace {

// The families, each collecting its samples until the end. The texts are arrays,
// not pointers, so that the table costs no relocation at start-up.
struct Family {
    char name[32];
    char type[8];
    char help[80];
};
enum { kBuildInfo, kInfo, kSensorCount, kTemperature, kVoltage, kFan, kCurrent, kRaw, kSensorSuccess,
       kUpsSupported, kUpsState, kUpsOnBattery, kUpsCharge, kUpsFailures, kUpsFailTime, kUpsGpioSupported,
       kDeviceOpenErrno, kCollector, kSuccess, kFamilies };
static_assert(kFamilies == kMetricsFamilyCount, "one sample buffer per family");
const Family kFamilyTable[kFamilies] = {
    {"vemi_build_info", "gauge", "The version of the program that wrote these metrics, as a label."},
    {"vemi_info", "gauge", "Versions of the firmware interface, the mainboard and its BIOS, as labels."},
    {"vemi_sensors", "gauge", "How many sensors the board reports."},
    {"vemi_temperature_celsius", "gauge", "Temperature sensors, in degrees Celsius."},
    {"vemi_voltage_volts", "gauge", "Voltage sensors, in volts."},
    {"vemi_fan_speed_rpm", "gauge", "Fan sensors, in revolutions per minute."},
    {"vemi_current_amperes", "gauge", "Current sensors, in amperes."},
    {"vemi_sensor_raw", "gauge", "Sensors of other types: the raw reading, no unit, with the type as a label."},
    {"vemi_sensor_read_success", "gauge", "Whether each sensor's read succeeded (1) or failed (0)."},
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

MetricsReportState* StateOf(const ReportWriter* w)
{
    return (MetricsReportState*)w->state;
}

void Append(MetricsReportState* s, MetricsSamples* f, const char* text, size_t n)
{
    if (f->length + n + 1 > f->capacity) {
        size_t capacity = (f->capacity + n + 1) * 2;
        char* grown = (char*)realloc(f->text, capacity);
        if (grown == NULL) {
            s->lost = true;
            return;
        }
        f->text = grown;
        f->capacity = capacity;
    }
    memcpy(f->text + f->length, text, n);
    f->length += n;
    f->text[f->length] = '\0';
}

void Sample(const ReportWriter* w, int family, const char* labels, const char* value)
{
    char line[1024]; // labels are built in 256 bytes: a line always fits
    int n = PromSampleLine(line, sizeof(line), kFamilyTable[family].name, labels, value);
    if (n > 0 && (size_t)n < sizeof(line))
        Append(StateOf(w), &StateOf(w)->samples[family], line, (size_t)n);
}

void Labelled(const ReportWriter* w, int family, const char* name, const char* labelValue, const char* value)
{
    char labels[64] = "";
    PromLabel(labels, sizeof(labels), name, labelValue, 16);
    Sample(w, family, labels, value);
}

void Number(char* out, size_t size, uint64_t value)
{
    snprintf(out, size, "%llu", (unsigned long long)value);
}

void Begin(const ReportWriter* w)
{
    MetricsReportState* s = StateOf(w);
    for (MetricsSamples& f : s->samples)
        f.length = 0;
    s->lost = false;
    Labelled(w, kBuildInfo, "version", s->version, "1");
}

void End(const ReportWriter* w, int exitStatus)
{
    MetricsReportState* s = StateOf(w);
    const RunRecord* r = w->record;
    FILE* out = StreamOut(w->streams);
    char value[24];
    Number(value, sizeof(value), (uint64_t)r->openError);
    Sample(w, kDeviceOpenErrno, "", value);
    for (int i = 0; i < r->reportCount; i++)
        Labelled(w, kCollector, "collector", r->reports[i].name, r->reports[i].state == kReportSucceeded ? "1" : "0");
    Sample(w, kSuccess, "", exitStatus == 0 ? "1" : "0");
    for (int i = 0; i < kFamilies; i++) {
        if (s->samples[i].length == 0 || (i == kSuccess && s->lost))
            continue;
        PromFamily(out, kFamilyTable[i].name, kFamilyTable[i].type, kFamilyTable[i].help);
        fputs(s->samples[i].text, out);
    }
    FlushOutput(w->streams); // keeps the cause of a failed write
}

void OpenFailed(const ReportWriter* w, int error)
{
    w->record->openError = error;
}

void MainboardRead(const ReportWriter* w, const VemiVersionInfo* v, const VemiMainboardInfo* b)
{
    if (b == NULL || VemiReadFailed(&b->read, true))
        return;
    char text[32], bios[16], revision[8], labels[256] = "";
    VemiInterfaceVersionText(&v->version, text, sizeof(text));
    VemiBiosVersionText(&b->board, bios, sizeof(bios));
    snprintf(revision, sizeof(revision), "G%u", b->board.revision);
    PromLabel(labels, sizeof(labels), "interface_version", text, sizeof(text));
    // An empty label value is the same as none: a board without a name says so.
    bool named = b->board.name[0] != '\0';
    PromLabel(labels, sizeof(labels), "mainboard", named ? b->board.name : "(no name)",
              named ? sizeof(b->board.name) : 16);
    PromLabel(labels, sizeof(labels), "mainboard_revision", revision, sizeof(revision));
    PromLabel(labels, sizeof(labels), "bios_version", bios, sizeof(bios));
    Sample(w, kInfo, labels, "1");
}

void SensorCountRead(const ReportWriter* w, const VemiSensorCountInfo* counted)
{
    char value[16];
    Number(value, sizeof(value), counted->count);
    if (!VemiReadFailed(&counted->read, true))
        Sample(w, kSensorCount, "", value);
}

void SensorRead(const ReportWriter* w, const VemiSensorInfo* s)
{
    char value[32], labels[256] = "", n[16], t[16];
    Number(n, sizeof(n), s->number);
    if (VemiReadFailed(&s->read, true)) { // a sensor that stopped answering shows, without its value
        Labelled(w, kSensorSuccess, "number", n, "0");
        return;
    }
    FormatSensorValue(s, value, sizeof(value));
    Number(t, sizeof(t), s->record.sensorType);
    // An empty label value is the same as no label: a sensor without a name is its number.
    bool named = s->record.description[0] != '\0';
    PromLabel(labels, sizeof(labels), "sensor", named ? s->record.description : n,
              named ? sizeof(s->record.description) : sizeof(n));
    PromLabel(labels, sizeof(labels), "number", n, sizeof(n));
    // The kind's family, indexed by the kind the readers decided.
    static const int families[] = {kRaw, kTemperature, kVoltage, kFan, kCurrent};
    int family = families[s->kind->id];
    if (family == kRaw)
        PromLabel(labels, sizeof(labels), "type", t, sizeof(t));
    Sample(w, family, labels, value);
    Labelled(w, kSensorSuccess, "number", n, "1");
}

// 1 or 0 as a record is there or not; nothing when that is not known.
void Presence(const ReportWriter* w, int family, const char* label, const char* record, VemiRecordState state)
{
    if (state == kRecordFailed)
        return;
    if (label == NULL)
        Sample(w, family, "", state == kRecordRead ? "1" : "0");
    else
        Labelled(w, family, label, record, state == kRecordRead ? "1" : "0");
}

void UpsDone(const ReportWriter* w, const VemiUpsInfo* u)
{
    Presence(w, kUpsSupported, NULL, NULL, VemiUpsPresence(u, true));
    if (!VemiUpsPresent(u))
        return;
    if (!VemiReadFailed(&u->statusRead, true)) {
        static const VemiUpsState states[] = {kUpsDisabled, kUpsCharging, kUpsDischarging, kUpsUnknown};
        for (VemiUpsState state : states)
            Labelled(w, kUpsState, "state", VemiUpsStateName(state), state == u->state ? "1" : "0");
        Sample(w, kUpsOnBattery, "", u->state == kUpsDischarging ? "1" : "0");
        char ratio[16];
        snprintf(ratio, sizeof(ratio), "%u.%02u", u->chargePercent / 100, u->chargePercent % 100);
        if (u->chargeValid)
            Sample(w, kUpsCharge, "", ratio);
    }
    char value[32];
    if (!VemiReadFailed(&u->counterRead, true)) {
        Number(value, sizeof(value), u->failCounter);
        Sample(w, kUpsFailures, "", value);
    }
    for (int i = 0; !VemiReadFailed(&u->timesRead, true) && i < 3; i++) {
        char index[4];
        Number(index, sizeof(index), (uint64_t)i);
        Number(value, sizeof(value), u->failTimes[i]);
        Labelled(w, kUpsFailTime, "index", index, value);
    }
    Presence(w, kUpsGpioSupported, "record", "gpio", VemiGpioState(&u->gpioRead, true));
    Presence(w, kUpsGpioSupported, "record", "gpio_ex", VemiGpioState(&u->gpioExRead, true));
}

} // namespace

ReportWriter MetricsReportWriter(MetricsReportState* state, RunStreams* streams, const char* version)
{
    for (MetricsSamples& f : state->samples)
        f.length = 0; // the buffers stay, for the next run
    state->version = version;
    ReportWriter w = DocumentWriter(state, &state->record);
    w.streams = streams;
    w.begin = Begin;
    w.end = End;
    w.openFailed = OpenFailed;
    w.mainboardRead = MainboardRead;
    w.sensorCountRead = SensorCountRead;
    w.sensorRead = SensorRead;
    w.upsDone = UpsDone;
    return w;
}

void MetricsReportRelease(MetricsReportState* state)
{
    for (MetricsSamples& f : state->samples) {
        free(f.text);
        f = MetricsSamples();
    }
}
