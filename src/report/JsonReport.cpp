#include "JsonReport.h"

#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "Hundredths.h"
#include "JsonWriter.h"
#include "Outcome.h"
#include "RunRecord.h"
#include "VemiRequest.h"
#include "StandardOutput.h"

namespace {

bool sPretty = false;
const char* sToolName = "";
const char* sToolVersion = "";
bool sStarted = false; // a document is open
bool sSensorsListed = false;

// A failed read: the driver's status, or a short answer (`returned` of `needed`
// bytes), which no status of the driver's names: -1 in the document.
void Failure(const char* operation, uint32_t status, uint32_t sensor = 0, uint32_t returned = 0,
             uint32_t needed = 0)
{
    char message[192];
    if (status == VEMI_SHORT_ANSWER) {
        snprintf(message, sizeof(message), "%s: short answer: %u of %u bytes", operation, returned, needed);
        RunRecordFailure(operation, -1, message, sensor, 0);
        return;
    }
    FormatOutcome(message, sizeof(message), operation, status);
    RunRecordFailure(operation, status, message, sensor, 0);
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

void Begin(const ReportWriter*)
{
    sStarted = true;
    JsonStart(sPretty);
    JsonBeginObject(NULL);
    JsonBeginArray("json_format_version");
    JsonUint(NULL, 1);
    JsonUint(NULL, 2);
    JsonEndArray();
    JsonBeginObject("tool");
    JsonString("name", sToolName, 32);
    JsonString("version", sToolVersion, 32);
    JsonEndObject();
    // When the reading was taken, so that a stored document can be dated.
    time_t now = time(NULL);
    char text[32] = "";
    struct tm local;
    if (localtime_r(&now, &local) != NULL)
        strftime(text, sizeof(text), "%a %b %e %H:%M:%S %Y %Z", &local);
    JsonBeginObject("local_time");
    JsonInt("time_t", (int64_t)now);
    JsonString("asctime", text, sizeof(text));
    JsonEndObject();
}

void End(const ReportWriter*, int exitStatus)
{
    if (!sStarted)
        return;
    sStarted = false;
    JsonBeginObject("reports");
    for (int i = 0; i < gRun.reportCount; i++)
        JsonBool(gRun.reports[i].name, gRun.reports[i].state == kReportSucceeded);
    JsonEndObject();
    JsonBeginArray("errors");
    for (int i = 0; i < gRun.failureCount && i < RUN_MAX_FAILURES; i++) {
        const RunFailure& f = gRun.failures[i];
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
    if (exitStatus >= 0) {
        JsonUint("exit_status", (uint64_t)exitStatus);
    } else {
        JsonNull("exit_status");
        JsonSignal("ended_by_signal", -exitStatus);
    }
    JsonEndObject();
    JsonFinish();
    FlushOutput(); // keeps the cause of a failed write
}

void OpenFailed(const ReportWriter*, int error)
{
    RunRecordFailure("Open '" VEMI_DEVICE_PATH "'", -1, "Open '" VEMI_DEVICE_PATH "' failed", 0, error);
}

void ReportSkipped(const ReportWriter*, const char* name)
{
    JsonNull(name);
}

void OwnFailure(const ReportWriter*, const char* operation, int64_t status, const char* message)
{
    RunRecordFailure(operation, status, message, 0, 0);
}

void VersionRead(const ReportWriter*, const VemiVersionInfo* v)
{
    if (v->status != 0)
        Failure(OP_VERSION, v->status, 0, v->returned, kVemiVersionBytes);
}

void MainboardRead(const ReportWriter*, const VemiVersionInfo* v, const VemiMainboardInfo* b)
{
    if (b != NULL && b->status != 0)
        Failure(OP_MAINBOARD, b->status, 0, b->returned, kVemiMainboardBytes);
    JsonBeginObject("version");
    if (v->status == 0) {
        char text[32];
        snprintf(text, sizeof(text), "%u.%02u.%04u", v->version.major, v->version.minor, v->version.build);
        JsonBeginObject("interface");
        JsonUint("major", v->version.major);
        JsonUint("minor", v->version.minor);
        JsonUint("build", v->version.build);
        JsonString("text", text, sizeof(text));
        JsonEndObject();
    } else {
        JsonNull("interface");
    }
    if (b != NULL && b->status == 0) {
        char bios[16];
        snprintf(bios, sizeof(bios), "%X.%02X", b->board.biosMajor, b->board.biosMinor);
        JsonBeginObject("mainboard");
        JsonString("name", b->board.name, sizeof(b->board.name));
        JsonUint("revision", b->board.revision);
        JsonUint("bios_major", b->board.biosMajor);
        JsonUint("bios_minor", b->board.biosMinor);
        JsonString("bios_version", bios, sizeof(bios));
        JsonEndObject();
    } else {
        JsonNull("mainboard");
    }
    JsonEndObject();
}

void SensorCountRead(const ReportWriter*, const VemiSensorCountInfo* counted)
{
    sSensorsListed = counted->status == 0;
    if (counted->status != 0)
        Failure(OP_SENSOR_COUNT, counted->status, 0, counted->returned, kVemiSensorCountBytes);
    sSensorsListed ? JsonBeginArray("sensors") : JsonNull("sensors");
}

void SensorRead(const ReportWriter*, const VemiSensorInfo* s)
{
    if (s->status != 0) {
        Failure(OP_SENSOR, s->status, s->number, s->returned, kVemiSensorBytes);
        JsonNull(NULL);
        return;
    }
    // The value as the listing shows it: hundredths where the unit counts them.
    char value[32];
    if (s->kind->hundredths)
        FormatHundredths(s->hundredths, value, sizeof(value));
    else
        snprintf(value, sizeof(value), "%d", s->record.reading);
    JsonBeginObject(NULL);
    JsonUint("number", s->number);
    JsonString("name", s->record.description, sizeof(s->record.description));
    JsonUint("type", s->record.sensorType);
    JsonString("kind", s->kind->kind, sizeof(s->kind->kind));
    JsonInt("raw", s->record.reading);
    JsonNumber("value", value);
    s->kind->unit[0] ? JsonString("unit", s->kind->unit, sizeof(s->kind->unit)) : JsonNull("unit");
    JsonEndObject();
}

void SensorsDone(const ReportWriter*, uint32_t)
{
    if (sSensorsListed)
        JsonEndArray(); // no sensors at all is an answer: []
}

// The text shows a failed status, version, counter or times read as the value it
// left; the document lists it.
void UpsStateRead(const ReportWriter*, const VemiUpsInfo* u)
{
    if (!VemiUpsPresent(u))
        return;
    const struct {
        uint32_t read;
        const char* operation;
        uint32_t returned, needed;
    } reads[] = {{u->statusRead, OP_UPS_STATUS, u->statusReturned, kVemiUpsStatusBytes},
                 {u->versionRead, OP_UPS_VERSION, u->versionReturned, kVemiUpsVersionBytes},
                 {u->counterRead, OP_UPS_COUNTER, u->counterReturned, kVemiUpsCounterBytes},
                 {u->timesRead, OP_UPS_TIMES, u->timesReturned, kVemiUpsTimesBytes}};
    for (const auto& r : reads)
        if (r.read != 0)
            Failure(r.operation, r.read, 0, r.returned, r.needed);
    if (u->statusRead == 0 && u->chargeMeant && !u->chargeValid) {
        char message[64];
        snprintf(message, sizeof(message), "charge out of range: %u %%", u->chargePercent);
        RunRecordFailure(OP_UPS_STATUS, -1, message, 0, 0);
    }
}

void GpioFailure(const char* operation, const char* label, uint32_t status, uint32_t returned, uint32_t needed)
{
    if (status == VEMI_SHORT_ANSWER) {
        Failure(operation, status, 0, returned, needed);
        return;
    }
    char line[96];
    FormatGpioFailure(line, sizeof(line), label, status);
    RunRecordFailure(operation, status, line, 0, 0);
}

void UpsGpioRead(const ReportWriter*, const VemiUpsInfo* u)
{
    if (u->gpioRead != 0 && !VemiNotSupported(u->gpioRead))
        GpioFailure(OP_GPIO, GPIO_LABEL, u->gpioRead, u->gpioReturned, kVemiGpioBytes);
}

void UpsGpioExRead(const ReportWriter*, const VemiUpsInfo* u)
{
    if (u->gpioExRead != 0 && !VemiNotSupported(u->gpioExRead))
        GpioFailure(OP_GPIO_EX, GPIO_EX_LABEL, u->gpioExRead, u->gpioExReturned, kVemiGpioExBytes);
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

void UpsDone(const ReportWriter*, const VemiUpsInfo* u)
{
    static const char states[4][12] = {"disabled", "charging", "discharging", "unknown"};
    JsonBeginObject("ups");
    // Known once the status read answered: a failed read says nothing either way.
    if (!VemiUpsPresent(u) || u->statusRead == 0)
        JsonBool("supported", VemiUpsPresent(u));
    else
        JsonNull("supported");
    if (!VemiUpsPresent(u)) {
        JsonEndObject();
        return;
    }
    if (u->statusRead == 0) {
        JsonBeginObject("status");
        JsonString("state", states[u->state], 16);
        u->chargeValid ? JsonUint("charge_percent", u->chargePercent) : JsonNull("charge_percent");
        JsonUint("byte", u->statusByte);
        JsonEndObject();
    } else {
        JsonNull("status");
    }
    if (u->versionRead == 0) {
        char text[16];
        snprintf(text, sizeof(text), "%u.%02u", u->version[0], u->version[1]);
        JsonBeginObject("version");
        JsonUint("major", u->version[0]);
        JsonUint("minor", u->version[1]);
        JsonString("text", text, sizeof(text));
        JsonEndObject();
    } else {
        JsonNull("version");
    }
    u->counterRead == 0 ? JsonUint("power_fail_counter", u->failCounter) : JsonNull("power_fail_counter");
    if (u->timesRead == 0) {
        JsonBeginArray("power_fail_times");
        for (int i = 0; i < 3; i++)
            JsonUint(NULL, u->failTimes[i]);
        JsonEndArray();
    } else {
        JsonNull("power_fail_times");
    }
    if (JsonGpioBegin("gpio", u->gpioRead)) {
        JsonUint("address", (uint32_t)u->gpio.address + u->gpio.offset);
        JsonUint("bitmask", u->gpio.bitmask);
        JsonEndObject();
    }
    if (JsonGpioBegin("gpio_ex", u->gpioExRead)) {
        JsonUint("type", u->gpioEx.type);
        JsonUint("length", u->gpioEx.length);
        JsonUint("flags", u->gpioEx.flags);
        JsonUint("address", u->gpioEx.address);
        JsonUint("bitmask", u->gpioEx.bitmask);
        JsonEndObject();
    }
    JsonEndObject();
}

void UserEepromRead(const ReportWriter*, const VemiUserEepromInfo* e)
{
    if (e->status != 0) {
        Failure(OP_USER_EEPROM, e->status);
        JsonNull("user_eeprom");
        return;
    }
    JsonBeginObject("user_eeprom");
    JsonUint("bytes_returned", e->returned);
    JsonHex("data", e->bytes, e->shown);
    JsonEndObject();
}

void WatchdogTest(const ReportWriter*, const WatchdogTestRecord* t)
{
    static const char outcomes[5][20] = {"not_armed", "completed", "retrigger_failed", "key_pressed", "signal"};
    JsonBeginObject("watchdog_test");
    JsonUint("watchdog_seconds", t->seconds);
    JsonUint("retrigger_interval_seconds", t->interval);
    JsonUint("retriggers", t->retriggers);
    JsonString("outcome", outcomes[t->outcome], 24);
    if (t->outcome == kWdtSignal)
        JsonSignal("signal", t->signal);
    t->disarmed ? JsonUint("disarm_status", t->disarmStatus) : JsonNull("disarm_status");
    JsonEndObject();
}

void DirectCall(const ReportWriter*, const DirectCallRecord* c)
{
    JsonBeginObject("direct_call");
    JsonUint("index_group", c->group);
    JsonUint("index_offset", c->offset);
    JsonHex("in", c->in, c->in != NULL ? c->inLen : 0);
    JsonUint("out_length", c->outLen);
    JsonUint("result", c->result);
    JsonUint("bytes_returned", c->returned);
    c->out != NULL || c->outLen == 0 ? JsonHex("out", c->out, c->out != NULL ? c->outLen : 0) : JsonNull("out");
    JsonEndObject();
}

} // namespace

ReportWriter JsonReportWriter(bool pretty, const char* toolName, const char* toolVersion)
{
    sPretty = pretty;
    sToolName = toolName;
    sToolVersion = toolVersion;
    sStarted = false;
    ReportWriter w = {};
    RunRecordAttach(&w);
    w.goOnAfterFailure = true;
    w.notSupportedIsAnswer = true;
    w.strictRecords = true;
    w.begin = Begin;
    w.end = End;
    w.openFailed = OpenFailed;
    w.reportSkipped = ReportSkipped;
    w.failure = OwnFailure;
    w.versionRead = VersionRead;
    w.mainboardRead = MainboardRead;
    w.sensorCountRead = SensorCountRead;
    w.sensorRead = SensorRead;
    w.sensorsDone = SensorsDone;
    w.upsStateRead = UpsStateRead;
    w.upsGpioRead = UpsGpioRead;
    w.upsGpioExRead = UpsGpioExRead;
    w.upsDone = UpsDone;
    w.userEepromRead = UserEepromRead;
    w.watchdogTest = WatchdogTest;
    w.directCall = DirectCall;
    return w;
}
