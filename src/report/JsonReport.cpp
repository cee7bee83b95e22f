#include "JsonReport.h"

#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "Hundredths.h"
#include "Outcome.h"
#include "Reports.h"
#include "VemiRequest.h"

namespace {

JsonReportState* StateOf(const ReportWriter* w)
{
    return (JsonReportState*)w->state;
}

// Whether a read failed, for the document: by its status or a short answer.
bool Failed(const VemiRead* read)
{
    return VemiReadFailed(read, true);
}

// A failed read: the driver's status, or a short answer, which no status of the
// driver's names: -1 in the document.
void Failure(const ReportWriter* w, const char* operation, const VemiRead* read, uint32_t sensor = 0)
{
    char message[192];
    if (read->status == 0) {
        snprintf(message, sizeof(message), "%s: short answer: %u of %u bytes", operation, read->returned,
                 read->needed);
        RunRecordFailure(w->record, operation, -1, message, sensor, 0);
        return;
    }
    FormatOutcome(message, sizeof(message), operation, read->status);
    RunRecordFailure(w->record, operation, read->status, message, sensor, 0);
}

// A signal by its name, as kill -l gives it.
void JsonSignal(JsonOut* j, const char* key, int sig)
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
    JsonString(j, key, name, sizeof(name));
}

void Begin(const ReportWriter* w)
{
    JsonReportState* s = StateOf(w);
    JsonOut* j = &s->out;
    s->started = true;
    JsonStart(j, w->streams, s->pretty);
    JsonBeginObject(j, NULL);
    JsonBeginArray(j, "json_format_version");
    JsonUint(j, NULL, 1);
    JsonUint(j, NULL, 2);
    JsonEndArray(j);
    JsonBeginObject(j, "tool");
    JsonString(j, "name", s->toolName, 32);
    JsonString(j, "version", s->toolVersion, 32);
    JsonEndObject(j);
    // When the reading was taken, so that a stored document can be dated.
    time_t now = time(NULL);
    char text[32] = "";
    struct tm local;
    if (localtime_r(&now, &local) != NULL)
        strftime(text, sizeof(text), "%a %b %e %H:%M:%S %Y %Z", &local);
    JsonBeginObject(j, "local_time");
    JsonInt(j, "time_t", (int64_t)now);
    JsonString(j, "asctime", text, sizeof(text));
    JsonEndObject(j);
}

void End(const ReportWriter* w, int exitStatus)
{
    JsonReportState* s = StateOf(w);
    JsonOut* j = &s->out;
    const RunRecord* r = w->record;
    if (!s->started)
        return;
    s->started = false;
    JsonBeginObject(j, "reports");
    for (int i = 0; i < r->reportCount; i++)
        JsonBool(j, r->reports[i].name, r->reports[i].state == kReportSucceeded);
    JsonEndObject(j);
    JsonBeginArray(j, "errors");
    for (int i = 0; i < r->failureCount && i < RUN_MAX_FAILURES; i++) {
        const RunFailure& f = r->failures[i];
        JsonBeginObject(j, NULL);
        f.report[0] ? JsonString(j, "report", f.report, sizeof(f.report)) : JsonNull(j, "report");
        if (f.sensor != 0)
            JsonUint(j, "sensor", f.sensor);
        JsonString(j, "operation", f.operation, sizeof(f.operation));
        JsonInt(j, "status", f.status);
        if (f.error != 0) {
            JsonInt(j, "errno", f.error);
            JsonString(j, "reason", strerror(f.error), 128);
        }
        JsonString(j, "message", f.message, sizeof(f.message));
        JsonEndObject(j);
    }
    JsonEndArray(j);
    if (exitStatus >= 0) {
        JsonUint(j, "exit_status", (uint64_t)exitStatus);
    } else {
        JsonNull(j, "exit_status");
        JsonSignal(j, "ended_by_signal", -exitStatus);
    }
    JsonEndObject(j);
    JsonFinish(j);
    FlushOutput(w->streams); // keeps the cause of a failed write
}

void OpenFailed(const ReportWriter* w, int error)
{
    RunRecordFailure(w->record, "Open '" VEMI_DEVICE_PATH "'", -1, "Open '" VEMI_DEVICE_PATH "' failed", 0, error);
}

void ReportSkipped(const ReportWriter* w, const char* name)
{
    JsonNull(&StateOf(w)->out, name);
}

void OwnFailure(const ReportWriter* w, const char* operation, int64_t status, const char* message)
{
    RunRecordFailure(w->record, operation, status, message, 0, 0);
}

void VersionRead(const ReportWriter* w, const VemiVersionInfo* v)
{
    if (Failed(&v->read))
        Failure(w, OP_VERSION, &v->read);
}

void MainboardRead(const ReportWriter* w, const VemiVersionInfo* v, const VemiMainboardInfo* b)
{
    JsonOut* j = &StateOf(w)->out;
    if (b != NULL && Failed(&b->read))
        Failure(w, OP_MAINBOARD, &b->read);
    JsonBeginObject(j, kReportVersion);
    if (!Failed(&v->read)) {
        char text[32];
        VemiInterfaceVersionText(&v->version, text, sizeof(text));
        JsonBeginObject(j, "interface");
        JsonUint(j, "major", v->version.major);
        JsonUint(j, "minor", v->version.minor);
        JsonUint(j, "build", v->version.build);
        JsonString(j, "text", text, sizeof(text));
        JsonEndObject(j);
    } else {
        JsonNull(j, "interface");
    }
    if (b != NULL && !Failed(&b->read)) {
        char bios[16];
        VemiBiosVersionText(&b->board, bios, sizeof(bios));
        JsonBeginObject(j, "mainboard");
        JsonString(j, "name", b->board.name, sizeof(b->board.name));
        JsonUint(j, "revision", b->board.revision);
        JsonUint(j, "bios_major", b->board.biosMajor);
        JsonUint(j, "bios_minor", b->board.biosMinor);
        JsonString(j, "bios_version", bios, sizeof(bios));
        JsonEndObject(j);
    } else {
        JsonNull(j, "mainboard");
    }
    JsonEndObject(j);
}

void SensorCountRead(const ReportWriter* w, const VemiSensorCountInfo* counted)
{
    JsonReportState* s = StateOf(w);
    s->sensorsListed = !Failed(&counted->read);
    if (!s->sensorsListed)
        Failure(w, OP_SENSOR_COUNT, &counted->read);
    s->sensorsListed ? JsonBeginArray(&s->out, kReportSensors) : JsonNull(&s->out, kReportSensors);
}

void SensorRead(const ReportWriter* w, const VemiSensorInfo* sensor)
{
    JsonOut* j = &StateOf(w)->out;
    if (Failed(&sensor->read)) {
        Failure(w, OP_SENSOR, &sensor->read, sensor->number);
        JsonNull(j, NULL);
        return;
    }
    char value[32];
    FormatSensorValue(sensor, value, sizeof(value));
    const VemiSensorKind* kind = sensor->kind;
    JsonBeginObject(j, NULL);
    JsonUint(j, "number", sensor->number);
    JsonString(j, "name", sensor->record.description, sizeof(sensor->record.description));
    JsonUint(j, "type", sensor->record.sensorType);
    JsonString(j, "kind", kind->kind, sizeof(kind->kind));
    JsonInt(j, "raw", sensor->record.reading);
    JsonNumber(j, "value", value);
    kind->unit[0] ? JsonString(j, "unit", kind->unit, sizeof(kind->unit)) : JsonNull(j, "unit");
    JsonEndObject(j);
}

void SensorsDone(const ReportWriter* w, uint32_t)
{
    if (StateOf(w)->sensorsListed)
        JsonEndArray(&StateOf(w)->out); // no sensors at all is an answer: []
}

// The text shows a failed status, version, counter or times read as the value it
// left; the document lists it.
void UpsStateRead(const ReportWriter* w, const VemiUpsInfo* u)
{
    if (!VemiUpsPresent(u))
        return;
    const struct {
        const VemiRead* read;
        const char* operation;
    } reads[] = {{&u->statusRead, OP_UPS_STATUS}, {&u->versionRead, OP_UPS_VERSION},
                 {&u->counterRead, OP_UPS_COUNTER}, {&u->timesRead, OP_UPS_TIMES}};
    for (const auto& r : reads)
        if (Failed(r.read))
            Failure(w, r.operation, r.read);
    if (!Failed(&u->statusRead) && u->chargeMeant && !u->chargeValid) {
        char message[64];
        snprintf(message, sizeof(message), "charge out of range: %u %%", u->chargePercent);
        RunRecordFailure(w->record, OP_UPS_STATUS, -1, message, 0, 0);
    }
}

// A GPIO record that could not be read; one that is not there is an answer.
void GpioFailure(const ReportWriter* w, const char* operation, const char* label, const VemiRead* read)
{
    if (VemiGpioState(read, true) != kRecordFailed)
        return;
    if (read->status == 0) {
        Failure(w, operation, read);
        return;
    }
    char line[96];
    FormatGpioFailure(line, sizeof(line), label, read->status);
    RunRecordFailure(w->record, operation, read->status, line, 0, 0);
}

void UpsGpioRead(const ReportWriter* w, const VemiUpsInfo* u)
{
    GpioFailure(w, OP_GPIO, GPIO_LABEL, &u->gpioRead);
}

void UpsGpioExRead(const ReportWriter* w, const VemiUpsInfo* u)
{
    GpioFailure(w, OP_GPIO_EX, GPIO_EX_LABEL, &u->gpioExRead);
}

// true, false or null, as a record is there, is not, or is not known.
void JsonPresence(JsonOut* j, const char* key, VemiRecordState state)
{
    state == kRecordFailed ? JsonNull(j, key) : JsonBool(j, key, state == kRecordRead);
}

// A GPIO record: an object left open for its fields when it was read, closed with
// supported false when the board has none, null when its read failed.
bool JsonGpioBegin(JsonOut* j, const char* key, const VemiRead* read)
{
    VemiRecordState state = VemiGpioState(read, true);
    if (state == kRecordFailed) {
        JsonNull(j, key);
        return false;
    }
    JsonBeginObject(j, key);
    JsonPresence(j, "supported", state);
    if (state == kRecordAbsent)
        JsonEndObject(j);
    return state == kRecordRead;
}

void UpsDone(const ReportWriter* w, const VemiUpsInfo* u)
{
    JsonOut* j = &StateOf(w)->out;
    JsonBeginObject(j, kReportUps);
    JsonPresence(j, "supported", VemiUpsPresence(u, true));
    if (!VemiUpsPresent(u)) {
        JsonEndObject(j);
        return;
    }
    if (!Failed(&u->statusRead)) {
        JsonBeginObject(j, "status");
        JsonString(j, "state", VemiUpsStateName(u->state), 16);
        u->chargeValid ? JsonUint(j, "charge_percent", u->chargePercent) : JsonNull(j, "charge_percent");
        JsonUint(j, "byte", u->statusByte);
        JsonEndObject(j);
    } else {
        JsonNull(j, "status");
    }
    if (!Failed(&u->versionRead)) {
        char text[16];
        VemiUpsVersionText(u, text, sizeof(text));
        JsonBeginObject(j, "version");
        JsonUint(j, "major", u->version[0]);
        JsonUint(j, "minor", u->version[1]);
        JsonString(j, "text", text, sizeof(text));
        JsonEndObject(j);
    } else {
        JsonNull(j, "version");
    }
    !Failed(&u->counterRead) ? JsonUint(j, "power_fail_counter", u->failCounter) : JsonNull(j, "power_fail_counter");
    if (!Failed(&u->timesRead)) {
        JsonBeginArray(j, "power_fail_times");
        for (int i = 0; i < 3; i++)
            JsonUint(j, NULL, u->failTimes[i]);
        JsonEndArray(j);
    } else {
        JsonNull(j, "power_fail_times");
    }
    if (JsonGpioBegin(j, "gpio", &u->gpioRead)) {
        JsonUint(j, "address", (uint32_t)u->gpio.address + u->gpio.offset);
        JsonUint(j, "bitmask", u->gpio.bitmask);
        JsonEndObject(j);
    }
    if (JsonGpioBegin(j, "gpio_ex", &u->gpioExRead)) {
        JsonUint(j, "type", u->gpioEx.type);
        JsonUint(j, "length", u->gpioEx.length);
        JsonUint(j, "flags", u->gpioEx.flags);
        JsonUint(j, "address", u->gpioEx.address);
        JsonUint(j, "bitmask", u->gpioEx.bitmask);
        JsonEndObject(j);
    }
    JsonEndObject(j);
}

void UserEepromRead(const ReportWriter* w, const VemiUserEepromInfo* e)
{
    JsonOut* j = &StateOf(w)->out;
    if (e->read.status != 0) {
        Failure(w, OP_USER_EEPROM, &e->read);
        JsonNull(j, kReportUserEeprom);
        return;
    }
    JsonBeginObject(j, kReportUserEeprom);
    JsonUint(j, "bytes_returned", e->read.returned);
    JsonHex(j, "data", e->bytes, e->shown);
    JsonEndObject(j);
}

void WatchdogTest(const ReportWriter* w, const WatchdogTestRecord* t)
{
    static const char outcomes[5][20] = {"not_armed", "completed", "retrigger_failed", "key_pressed", "signal"};
    JsonOut* j = &StateOf(w)->out;
    JsonBeginObject(j, kReportWatchdogTest);
    JsonUint(j, "watchdog_seconds", t->seconds);
    JsonUint(j, "retrigger_interval_seconds", t->interval);
    JsonUint(j, "retriggers", t->retriggers);
    JsonString(j, "outcome", outcomes[t->outcome], 24);
    if (t->outcome == kWdtSignal)
        JsonSignal(j, "signal", t->signal);
    t->disarmed ? JsonUint(j, "disarm_status", t->disarmStatus) : JsonNull(j, "disarm_status");
    JsonEndObject(j);
}

void DirectCall(const ReportWriter* w, const DirectCallRecord* c)
{
    JsonOut* j = &StateOf(w)->out;
    JsonBeginObject(j, kReportDirectCall);
    JsonUint(j, "index_group", c->group);
    JsonUint(j, "index_offset", c->offset);
    JsonHex(j, "in", c->in, c->in != NULL ? c->inLen : 0);
    JsonUint(j, "out_length", c->outLen);
    JsonUint(j, "result", c->result);
    JsonUint(j, "bytes_returned", c->returned);
    c->out != NULL || c->outLen == 0 ? JsonHex(j, "out", c->out, c->out != NULL ? c->outLen : 0) : JsonNull(j, "out");
    JsonEndObject(j);
}

} // namespace

ReportWriter JsonReportWriter(JsonReportState* state, RunStreams* streams, bool pretty, const char* toolName,
                              const char* toolVersion)
{
    *state = JsonReportState();
    state->pretty = pretty;
    state->toolName = toolName;
    state->toolVersion = toolVersion;
    ReportWriter w = DocumentWriter(state, &state->record);
    w.streams = streams;
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
