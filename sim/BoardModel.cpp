#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "AddressCheck.h"
#include "BoardModel.h"
#include "VemiRequest.h"
#include "VemiStatus.h"

namespace {

// What a service answers: a status and the bytes it would write, either held or generated.
struct Answer {
    uint32_t status = 0;
    std::vector<uint8_t> bytes;
    const RawServiceDef* generated = nullptr;
    uint64_t size = 0;
};

SharedBoard* Shared(BoardModel* m);

// Once a second process opens the node, each line names the process it comes from.
void Trace(BoardModel* m, const std::string& line)
{
    if (!m->trace)
        return;
    if (m->pid != 0 && __atomic_load_n(&Shared(m)->processCount, __ATOMIC_RELAXED) > 1)
        m->trace("[" + std::to_string(m->pid) + "] " + line);
    else
        m->trace(line);
}

void PutLE(std::vector<uint8_t>* v, size_t at, uint64_t value, size_t width)
{
    for (size_t i = 0; i < width; i++)
        (*v)[at + i] = (uint8_t)(value >> (8 * i));
}

Answer Bytes(std::vector<uint8_t> bytes)
{
    Answer a;
    a.size = bytes.size();
    a.bytes = std::move(bytes);
    return a;
}

Answer Status(uint32_t status)
{
    Answer a;
    a.status = status;
    return a;
}

SharedBoard* Shared(BoardModel* m)
{
    return m->shared != nullptr ? m->shared : &m->local;
}

// Recorded once, by whichever process (or vemisim) sees it first. A board of the
// process's own comes back up; a shared one is vemisim's to end.
void Restart(BoardModel* m, const std::string& line)
{
    SharedBoard* b = Shared(m);
    __atomic_store_n(&b->wdt.armedSeconds, 0u, __ATOMIC_RELEASE);
    if (!TakeRestart(b))
        return;
    Trace(m, line);
    if (m->shared == nullptr)
        b->restarted = 0;
    if (m->restarted)
        m->restarted();
}

void CheckWatchdog(BoardModel* m)
{
    SharedBoard* b = Shared(m);
    LockBoard(b);
    int64_t deadline = WatchdogDeadlineMs(b);
    uint32_t seconds = b->wdt.armedSeconds;
    bool expired = deadline >= 0 && BoardClockMs(b) > deadline;
    UnlockBoard(b);
    if (expired)
        Restart(m, "event restart: watchdog expired after " + std::to_string(seconds) + " s without retrigger");
}

// A retrigger, an arm or a disarm: the time since the last one counts as a gap.
void WatchdogEvent(SharedWatchdog* w, int64_t now)
{
    if (now - w->kickMs > w->longestGapMs)
        w->longestGapMs = now - w->kickMs;
    w->kickMs = now;
}

// Whole seconds of the board's clock, for the disarm's summary. The program keeps
// its schedule from the arm, the board its gaps from the first retrigger, which
// comes a request's time later: the gap after it is a few milliseconds short of the
// interval, which alone must not make "2 s" read "1 s". The milliseconds follow.
int64_t WholeSeconds(int64_t ms)
{
    return (ms + 50) / 1000;
}

const char* LedColour(uint8_t v)
{
    static const char* names[] = {"off", "red", "green", "orange"};
    return v < 4 ? names[v] : "unknown";
}

Answer ServeWatchdog(BoardModel* m, uint32_t offset, const std::vector<uint8_t>& in)
{
    if (offset != 0 && offset != 4 && offset != 6)
        return Status(VEMI_NOT_SUPPORTED);
    if (offset != 6 && in.size() < 1)
        return Status(EINVAL);
    SharedBoard* b = Shared(m);
    SharedWatchdog* w = &b->wdt;
    LockBoard(b);
    int64_t now = BoardClockMs(b);
    if (offset == 4) {
        w->powerControl = in[0] != 0;
    } else if (offset == 0 && in[0] != 0) {
        if (w->armedSeconds == 0) {
            w->armedAtMs = w->kickMs = now;
            w->kicks = 0;
            w->longestGapMs = 0;
        }
        WatchdogEvent(w, now);
        __atomic_store_n(&w->armedSeconds, in[0], __ATOMIC_RELEASE);
    } else if (offset == 0 && w->armedSeconds != 0) {
        // The board's clock shows whether the program really waited between retriggers.
        WatchdogEvent(w, now);
        m->events.push_back("event watchdog disarmed after " + std::to_string(WholeSeconds(now - w->armedAtMs)) +
                            " s: " + std::to_string(w->kicks) + " retriggers, at most " +
                            std::to_string(WholeSeconds(w->longestGapMs)) + " s without one (armed " +
                            std::to_string(now - w->armedAtMs) + " ms, longest gap " +
                            std::to_string(w->longestGapMs) + " ms)");
        __atomic_store_n(&w->armedSeconds, 0u, __ATOMIC_RELEASE);
    } else if (offset == 6 && w->armedSeconds != 0) {
        WatchdogEvent(w, now);
        w->kicks++;
    }
    UnlockBoard(b);
    return Bytes({});
}

Answer ServeSensor(const BoardConfig& b, uint32_t offset)
{
    if (offset == 0) {
        std::vector<uint8_t> v(4);
        PutLE(&v, 0, b.hasSensorCount ? b.sensorCount : (uint32_t)b.sensors.size(), 4);
        return Bytes(v);
    }
    if (b.sensors.empty() || (offset > b.sensors.size() && !b.sensorsRepeat))
        return Status(VEMI_NOT_SUPPORTED);
    const SensorDef& s = b.sensors[(offset - 1) % b.sensors.size()];
    std::vector<uint8_t> v(56);
    PutLE(&v, 0, s.type, 4);
    PutLE(&v, 4, offset, 4); // the driver's own bytes, which the tool carries unread
    PutLE(&v, 8, (uint16_t)s.reading, 2);
    memcpy(&v[44], s.description.data(), s.description.size());
    return Bytes(v);
}

// The status byte now: the timeline's last step that has come, or the fixed one.
uint8_t UpsStatusAt(const UpsDef& u, uint64_t nowMs)
{
    uint8_t status = u.status;
    for (const UpsStep& step : u.timeline)
        if (step.atMs <= nowMs)
            status = step.status;
    return status;
}

Answer ServeUps(const UpsDef& u, uint32_t offset, uint64_t nowMs)
{
    std::vector<uint8_t> v;
    switch (offset) {
    case 1: return Bytes({UpsStatusAt(u, nowMs)});
    case 2: return Bytes({u.versionMajor, u.versionMinor});
    case 3: v.resize(2); PutLE(&v, 0, u.powerFailCounter, 2); return Bytes(v);
    case 4:
        v.resize(12);
        for (int i = 0; i < 3; i++)
            PutLE(&v, 4 * i, u.powerFailTimes[i], 4);
        return Bytes(v);
    case 0xA0:
        v.resize(8);
        PutLE(&v, 0, u.gpioAddress, 2);
        v[2] = u.gpioOffset;
        v[3] = u.gpioBitmask;
        return Bytes(v);
    case 0xA1:
        v.resize(24);
        PutLE(&v, 0, u.exType, 2);
        PutLE(&v, 2, u.exLength, 2);
        PutLE(&v, 4, u.exFlags, 2);
        PutLE(&v, 8, u.exAddress, 8);
        PutLE(&v, 16, u.exBitmask, 8);
        return Bytes(v);
    default: return Status(VEMI_NOT_SUPPORTED);
    }
}

Answer Serve(BoardModel* m, uint32_t group, uint32_t offset, const std::vector<uint8_t>& in)
{
    const BoardConfig& b = m->board;
    for (const RawServiceDef& raw : b.raw) {
        if (raw.group != group || raw.offset != offset)
            continue;
        if (raw.pattern == RawServiceDef::kBytes)
            return Bytes(raw.bytes);
        Answer a;
        a.generated = &raw;
        a.size = raw.size;
        return a;
    }
    switch (group) {
    case 0x0000:
        if (offset == 0)
            return Bytes({b.versionMajor, b.versionMinor, (uint8_t)b.versionBuild,
                          (uint8_t)(b.versionBuild >> 8)});
        if (offset == 2) {
            std::vector<uint8_t> v(12);
            memcpy(&v[0], b.boardName.data(), b.boardName.size());
            v[8] = b.revision;
            v[9] = b.biosMajor;
            v[10] = b.biosMinor;
            return Bytes(v);
        }
        break;
    case 0x2000: return ServeSensor(b, offset);
    case 0x5000: return ServeUps(b.ups, offset, BoardNowMs(m));
    case 0x6000: return ServeWatchdog(m, offset, in);
    case 0x7000:
        if (offset == 0)
            return Bytes(b.userEeprom);
        break;
    case 0x8000:
        if (offset == 1) {
            if (in.size() < 1)
                return Status(EINVAL);
            m->userLed = in[0];
            m->events.push_back(std::string("event user LED: ") + LedColour(in[0]));
            return Bytes({});
        }
        break;
    }
    return Status(VEMI_NOT_SUPPORTED);
}

// An entry of the recording answers once in the run: in any of its processes.
bool TakeRecordedEntry(BoardModel* m, size_t i)
{
    SharedBoard* b = m->shared;
    if (b != nullptr && b->replayEntries == m->board.recording.size()) {
        uint8_t free = 0;
        return __atomic_compare_exchange_n(&ReplayAnswered(b)[i], &free, 1, false, __ATOMIC_ACQ_REL,
                                           __ATOMIC_ACQUIRE);
    }
    if (m->recordingUsed[i])
        return false;
    m->recordingUsed[i] = true;
    return true;
}

Answer Replay(BoardModel* m, uint32_t group, uint32_t offset, const std::vector<uint8_t>& in,
              uint32_t* returned, bool* matched)
{
    const std::vector<RecordedRequest>& rec = m->board.recording;
    for (size_t i = 0; i < rec.size(); i++) {
        if (rec[i].group != group || rec[i].offset != offset || rec[i].in != in || !TakeRecordedEntry(m, i))
            continue;
        *matched = true;
        *returned = rec[i].returned;
        Answer a = Bytes(rec[i].out);
        a.status = rec[i].status;
        return a;
    }
    *matched = false;
    return Status(EIO); // no firmware answer: not one that the firmware might have given
}

// The fault that applies to this service, counted as called; null when none.
const FaultDef* TakeFault(BoardModel* m, uint32_t group, uint32_t offset, uint32_t* status)
{
    for (size_t i = 0; i < m->board.faults.size(); i++) {
        const FaultDef& f = m->board.faults[i];
        if ((!f.anyGroup && f.group != group) || (!f.anyOffset && f.offset != offset))
            continue;
        uint32_t call = m->faultCalls[i]++;
        if (!f.statuses.empty())
            *status = f.statuses[call < f.statuses.size() ? call : f.statuses.size() - 1];
        return &f;
    }
    return nullptr;
}

// A slow driver: the answer comes late, in real time, whatever signal arrives.
void Delay(BoardModel* m, uint32_t ms)
{
    if (m->delay) {
        m->delay(ms);
        return;
    }
    struct timespec left = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// Whether `request` is told for the first time in the run (its processes share
// what was told, as far as the board has room; past that it is told again).
bool FirstTold(BoardModel* m, const std::string& request)
{
    SharedBoard* b = m->shared;
    if (b == nullptr)
        return m->unanswered.insert(request).second;
    uint64_t hash = 1469598103934665603ull; // FNV-1a, never 0
    for (unsigned char c : request)
        hash = (hash ^ c) * 1099511628211ull;
    hash |= 1;
    for (uint64_t& slot : b->told) {
        uint64_t seen = 0;
        if (__atomic_compare_exchange_n(&slot, &seen, hash, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
            return true;
        if (seen == hash)
            return false;
    }
    return true;
}

// A recording that lacks a request says so, once for each, rather than answering
// as if the firmware had.
void WarnUnanswered(BoardModel* m, uint32_t group, uint32_t offset, const std::vector<uint8_t>& in)
{
    char head[48];
    snprintf(head, sizeof(head), "0x%X/0x%X in=", group, offset);
    std::string request = head + (in.empty() ? std::string("-") : HexString(in.data(), in.size()));
    if (m->warn && FirstTold(m, request))
        m->warn("the recording holds no answer to " + request + "; answering EIO");
}

// Writes the answer's bytes into the caller's area, in slices so that a large
// generated answer never needs a second copy of itself in memory.
bool WriteAnswer(const Answer& a, void* out, uint64_t len)
{
    if (a.generated == nullptr)
        return CopyToCaller(out, a.bytes.data(), (size_t)len);
    if (len > 0 && out == nullptr)
        return false;
    std::vector<uint8_t> slice((size_t)(len < (1u << 20) ? len : (1u << 20)));
    for (uint64_t pos = 0; pos < len; pos += slice.size()) {
        size_t n = (size_t)(len - pos < slice.size() ? len - pos : slice.size());
        FillPattern(*a.generated, pos, slice.data(), n);
        if (!CopyToCaller((uint8_t*)out + pos, slice.data(), n))
            return false;
    }
    return true;
}

} // namespace

void BoardInit(BoardModel* model, const BoardConfig& board)
{
    model->board = board;
    model->faultCalls.assign(board.faults.size(), 0);
    model->recordingUsed.assign(board.recording.size(), false);
    model->unanswered.clear();
    model->userLed = 0;
    model->events.clear();
    model->local = SharedBoard(); // watchdog and clock start anew
    model->local.originMs = MonotonicMs();
}

uint64_t BoardNowMs(const BoardModel* model)
{
    return (uint64_t)BoardClockMs(model->shared != nullptr ? model->shared : &model->local);
}

uint64_t BoardNowUs(const BoardModel* model)
{
    return (uint64_t)BoardClockUs(model->shared != nullptr ? model->shared : &model->local);
}

void BoardAdvanceClock(BoardModel* model, uint64_t ms)
{
    __atomic_add_fetch(&Shared(model)->skippedMs, (int64_t)ms, __ATOMIC_RELAXED);
    CheckWatchdog(model);
}

int64_t BoardSkippedMs(BoardModel* model)
{
    return __atomic_load_n(&Shared(model)->skippedMs, __ATOMIC_RELAXED);
}

void BoardAtExit(BoardModel* model)
{
    if (model->shared != nullptr)
        return;
    CheckWatchdog(model);
    if (model->local.wdt.armedSeconds != 0)
        Restart(model, "event restart: watchdog left armed (" + std::to_string(model->local.wdt.armedSeconds) +
                           " s) when the program ended");
}

uint32_t BoardRequest(BoardModel* m, const void* record)
{
    vemix_struct rec;
    if (!CopyFromCaller(&rec, record, sizeof(rec))) {
        Trace(m, "event bad request record address");
        return EFAULT;
    }
    CheckWatchdog(m);

    std::vector<uint8_t> in;
    uint32_t status = 0;
    if (rec.inBufferLen > BOARD_MAX_INPUT)
        status = EINVAL;
    else {
        in.resize(rec.inBufferLen);
        if (!CopyFromCaller(in.data(), rec.inBuffer, in.size())) {
            status = EFAULT;
            in.clear();
        }
    }

    uint32_t returned = 0;
    bool unmatched = false;
    int raised = 0;
    if (status == 0) {
        Answer a;
        const FaultDef* fault = nullptr;
        bool hasReturned = false;
        if (m->board.replay) {
            bool matched = false;
            a = Replay(m, rec.indexGroup, rec.indexOffset, in, &returned, &matched);
            unmatched = !matched;
            hasReturned = matched;
            if (unmatched)
                WarnUnanswered(m, rec.indexGroup, rec.indexOffset, in);
        } else {
            // The board acts when the request arrives (a retrigger counts then); a slow
            // driver's answer comes late.
            fault = TakeFault(m, rec.indexGroup, rec.indexOffset, &status);
            if (status == 0)
                a = Serve(m, rec.indexGroup, rec.indexOffset, in);
            if (fault != nullptr && fault->delayMs != 0)
                Delay(m, fault->delayMs);
            if (fault != nullptr)
                raised = fault->raiseSignal;
        }
        if (status == 0)
            status = a.status;
        // A recorded answer is written back as it was, failures included.
        if (status == 0 || m->board.replay) {
            uint64_t n = a.size < rec.outBufferLen ? a.size : rec.outBufferLen;
            if (fault && fault->hasTruncate && fault->truncate < n)
                n = fault->truncate;
            if (!hasReturned)
                returned = (uint32_t)n;
            if (fault && fault->hasReturned)
                returned = fault->returned;
            if (!WriteAnswer(a, rec.outBuffer, n) ||
                ((status == 0 || hasReturned) && !CopyToCaller(rec.bytesReturned, &returned, 4)))
                status = EFAULT;
        }
    }
    std::string line = TraceLine(rec.indexGroup, rec.indexOffset, in, rec.outBufferLen, status, returned);
    Trace(m, unmatched ? line + " unmatched" : line);
    for (const std::string& event : m->events)
        Trace(m, event);
    m->events.clear();
    if (raised != 0 && m->raise)
        m->raise(raised); // once the request is done with, as a fault at its end would be
    return status;
}

std::string TraceLine(uint32_t group, uint32_t offset, const std::vector<uint8_t>& in,
                      uint32_t outLen, uint32_t status, uint32_t returned)
{
    char head[64];
    snprintf(head, sizeof(head), "0x%X/0x%X in=", group, offset);
    std::string line = head;
    line += in.empty() ? "-" : HexString(in.data(), in.size());
    char tail[96];
    if (status == 0)
        snprintf(tail, sizeof(tail), " out=%u status=0x0 returned=%u", outLen, returned);
    else
        snprintf(tail, sizeof(tail), " out=%u status=0x%X returned=-", outLen, status);
    return line + tail;
}

void FillPattern(const RawServiceDef& raw, uint64_t pos, uint8_t* dst, size_t len)
{
    switch (raw.pattern) {
    case RawServiceDef::kZero: memset(dst, 0, len); break;
    case RawServiceDef::kCounter:
        for (size_t i = 0; i < len; i++)
            dst[i] = (uint8_t)(pos + i);
        break;
    case RawServiceDef::kRandom:
        // splitmix64 of the seed and the 8-byte word index: any slice can be made alone.
        for (size_t i = 0; i < len;) {
            uint64_t at = pos + i;
            uint64_t z = raw.seed + (at / 8 + 1) * 0x9E3779B97F4A7C15ull;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            z ^= z >> 31;
            if (at % 8 == 0 && len - i >= 8) { // whole words: one store each
                for (unsigned b = 0; b < 8; b++)
                    dst[i + b] = (uint8_t)(z >> (8 * b));
                i += 8;
                continue;
            }
            for (unsigned b = (unsigned)(at % 8); b < 8 && i < len; b++, i++)
                dst[i] = (uint8_t)(z >> (8 * b));
        }
        break;
    case RawServiceDef::kBytes: break;
    }
}
