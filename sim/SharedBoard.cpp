#include "SharedBoard.h"

#include <errno.h>
#include <sched.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

// Above the descriptors a script names itself (0 to 9) and the first ones a shell
// takes for its own use.
const int kSharedFdFloor = 100;

SharedBoard* Map(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size < (off_t)sizeof(SharedBoard))
        return nullptr;
    void* p = mmap(nullptr, (size_t)st.st_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return p == MAP_FAILED ? nullptr : (SharedBoard*)p;
}

// Takes up to `n` bytes of the ring from its tail.
size_t RingTake(SharedTrace* t, char* out, size_t n)
{
    size_t waiting = (size_t)(t->head - t->tail);
    n = n < waiting ? n : waiting;
    for (size_t i = 0; i < n; i++)
        out[i] = t->data[(t->tail + i) % BOARD_TRACE_BYTES];
    return n;
}

} // namespace

bool CreateRunFile(const char* dir, const char* name, bool readOnly, int* fd)
{
    std::string path = std::string(dir) + "/" + name;
    int made = open(path.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CREAT | O_EXCL | O_NOFOLLOW, readOnly ? 0400 : 0600);
    if (made < 0)
        return false;
    *fd = fcntl(made, F_DUPFD, kSharedFdFloor);
    close(made);
    return *fd >= 0;
}

SharedBoard* CreateSharedBoard(const char* dir, int* fd, uint32_t replayEntries)
{
    if (!CreateRunFile(dir, kRunBoardName, false, fd) || ftruncate(*fd, (off_t)(sizeof(SharedBoard) + replayEntries)) != 0)
        return nullptr;
    SharedBoard* board = Map(*fd); // a new file reads as zeros
    if (board != nullptr) {
        board->originMs = MonotonicMs();
        board->replayEntries = replayEntries;
    }
    return board;
}

uint8_t* ReplayAnswered(SharedBoard* board)
{
    return (uint8_t*)(board + 1);
}

std::string SharedBoardReference(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return "";
    return std::to_string(fd) + ":" + std::to_string((unsigned long long)st.st_dev) + ":" +
           std::to_string((unsigned long long)st.st_ino);
}

int FindRunFile(const char* reference, const char* name, bool readOnly)
{
    int fd = atoi(reference);
    // A program may have put something else at that number: only the same file will do.
    if (fd >= 0 && SharedBoardReference(fd) == reference)
        return fd;
    // Its parent closed what it inherited: the file is found by its name, as the
    // same file still.
    const char* run = getenv("VEMISIM_RUN");
    if (run == nullptr || *run == '\0')
        return -1;
    std::string path = std::string(run) + "/" + name;
    int opened = open(path.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_NOFOLLOW | O_CLOEXEC);
    if (opened < 0)
        return -1;
    std::string found = SharedBoardReference(opened);
    if (found.substr(found.find(':')) != std::string(reference).substr(std::string(reference).find(':'))) {
        close(opened);
        errno = ENOENT;
        return -1;
    }
    fd = fcntl(opened, F_DUPFD_CLOEXEC, kSharedFdFloor);
    close(opened);
    return fd;
}

SharedBoard* MapSharedBoard(const char* reference)
{
    int fd = FindRunFile(reference, kRunBoardName, false);
    return fd < 0 ? nullptr : Map(fd);
}

SharedBoard* NewLocalBoard(void)
{
    SharedBoard* board = (SharedBoard*)calloc(1, sizeof(SharedBoard));
    if (board == nullptr)
        abort();
    board->originMs = MonotonicMs();
    return board;
}

void LockBoard(SharedBoard* board)
{
    int32_t self = (int32_t)getpid();
    for (int spins = 0;; spins++) {
        int32_t free = 0;
        if (__atomic_compare_exchange_n(&board->lockOwner, &free, self, false, __ATOMIC_ACQUIRE,
                                        __ATOMIC_RELAXED))
            return;
        int32_t owner = free;
        if (spins % 1000 == 999 && kill(owner, 0) != 0 && errno == ESRCH)
            __atomic_compare_exchange_n(&board->lockOwner, &owner, 0, false, __ATOMIC_RELAXED,
                                        __ATOMIC_RELAXED);
        sched_yield(); // not a sleep: under the fast clock a sleep would move the board's time
    }
}

void UnlockBoard(SharedBoard* board)
{
    __atomic_store_n(&board->lockOwner, 0, __ATOMIC_RELEASE);
}

namespace {

const int64_t kTraceWaitUs = 2000000;

// Wakes vemisim to write what waits, once until it has written it. One that cannot
// be woken (another user's) still writes at its next look, within 50 ms.
void Wake(SharedTrace* t)
{
    if (t->writer > 0 && !t->woken) {
        t->woken = 1;
        kill(t->writer, TRACE_WAKE_SIGNAL);
    }
}

} // namespace

void TraceAppend(SharedBoard* board, const std::string& line)
{
    SharedTrace* t = &board->trace;
    uint64_t need = line.size() + 1;
    LockBoard(board);
    // Into a file that takes every line: half full wakes vemisim, full waits for it
    // (not a sleep: under the fast clock a sleep would move the board's time).
    if (t->takesAll && need <= BOARD_TRACE_BYTES) {
        if (t->head - t->tail + need > BOARD_TRACE_BYTES / 2)
            Wake(t);
        for (int64_t until = MonotonicUs() + kTraceWaitUs;
             t->head - t->tail + need > BOARD_TRACE_BYTES && MonotonicUs() < until;) {
            UnlockBoard(board);
            sched_yield();
            LockBoard(board);
        }
    }
    if (t->head - t->tail + need > BOARD_TRACE_BYTES) {
        t->dropped++;
    } else {
        for (char c : line)
            t->data[t->head++ % BOARD_TRACE_BYTES] = c;
        t->data[t->head++ % BOARD_TRACE_BYTES] = '\n';
    }
    UnlockBoard(board);
}

bool TraceDrain(SharedBoard* board, int fd)
{
    SharedTrace* t = &board->trace;
    for (;;) {
        char piece[4096];
        LockBoard(board);
        size_t n = RingTake(t, piece, sizeof(piece));
        uint64_t dropped = t->dropped;
        UnlockBoard(board);
        if (n == 0 && dropped == 0)
            return true;
        if (n == 0) { // what was dropped is told once the file takes lines again
            std::string line = "event trace: " + std::to_string(dropped) +
                               " lines dropped (the trace file was not taking them)\n";
            if (write(fd, line.data(), line.size()) != (ssize_t)line.size())
                return false;
            LockBoard(board);
            t->dropped -= dropped;
            UnlockBoard(board);
            continue;
        }
        ssize_t written = write(fd, piece, n);
        if (written <= 0)
            return false;
        LockBoard(board);
        t->tail += (uint64_t)written;
        t->woken = 0;
        UnlockBoard(board);
    }
}

int64_t BoardClockMs(const SharedBoard* board)
{
    return MonotonicMs() - board->originMs + __atomic_load_n(&board->skippedMs, __ATOMIC_RELAXED);
}

int64_t BoardClockUs(const SharedBoard* board)
{
    return MonotonicUs() - board->originMs * 1000 + __atomic_load_n(&board->skippedMs, __ATOMIC_RELAXED) * 1000;
}

bool TakeRestart(SharedBoard* board)
{
    return __atomic_exchange_n(&board->restarted, 1, __ATOMIC_SEQ_CST) == 0;
}

int64_t WatchdogDeadlineMs(const SharedBoard* board)
{
    uint32_t armed = __atomic_load_n(&board->wdt.armedSeconds, __ATOMIC_ACQUIRE);
    return armed == 0 ? -1 : __atomic_load_n(&board->wdt.kickMs, __ATOMIC_ACQUIRE) + armed * 1000LL;
}

namespace {
int (*sRealClock)(clockid_t, struct timespec*) = nullptr;
}

void SetRealClock(int (*clockGettime)(clockid_t, struct timespec*))
{
    sRealClock = clockGettime;
}

int64_t MonotonicUs(void)
{
    struct timespec ts;
    (sRealClock != nullptr ? sRealClock : clock_gettime)(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

int64_t MonotonicMs(void)
{
    return MonotonicUs() / 1000;
}
