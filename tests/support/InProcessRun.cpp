#include "InProcessRun.h"

#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include "MainSequence.h"
#include "ExitStatus.h"
#include "InProcessChannel.h"
#include "RunState.h"
#include "ProgramState.h"
#include "SharedBoard.h"

// The watchdog test waits ten seconds on the monotonic clock; in a run here its
// waits pass at once, as under vemisim's fast clock: the board's clock moves by
// the time skipped, and the tool's clock moves with it. The tool's clock only
// ever moves forward (what all runs skipped is added), so that the test runner's
// own timing never sees it go back.
namespace {

BoardModel* sRunning = nullptr; // the board of the run in progress
int64_t sSkippedMs = 0;         // what every run skipped, in order

template <class F> F Next(const char* name)
{
    return (F)dlsym(RTLD_NEXT, name);
}

int RealClock(clockid_t clock, struct timespec* ts)
{
    static auto fn = Next<int (*)(clockid_t, struct timespec*)>("clock_gettime");
    return fn(clock, ts);
}

// The board reads the host's clock, never the one moved here.
__attribute__((constructor)) void GiveTheBoardTheRealClock()
{
    SetRealClock(RealClock);
}

void Skip(uint64_t ms)
{
    __atomic_add_fetch(&sSkippedMs, (int64_t)ms, __ATOMIC_RELAXED);
    if (sRunning != nullptr)
        BoardAdvanceClock(sRunning, ms);
}

} // namespace

extern "C" {

unsigned int sleep(unsigned int seconds)
{
    Skip(seconds * 1000ull);
    return 0;
}

int clock_gettime(clockid_t clock, struct timespec* ts)
{
    int rc = RealClock(clock, ts);
    int64_t skipped = __atomic_load_n(&sSkippedMs, __ATOMIC_RELAXED);
    if (rc != 0 || clock != CLOCK_MONOTONIC || skipped == 0)
        return rc;
    int64_t ns = ts->tv_nsec + (skipped % 1000) * 1000000;
    ts->tv_sec += (time_t)(skipped / 1000) + (time_t)(ns / 1000000000);
    ts->tv_nsec = (long)(ns % 1000000000);
    return rc;
}

// A timed wait during a run: what is ready answers at once; otherwise the time passes at once.
int ppoll(struct pollfd* fds, nfds_t nfds, const struct timespec* timeout, const sigset_t* mask)
{
    static auto fn = Next<int (*)(struct pollfd*, nfds_t, const struct timespec*, const sigset_t*)>("ppoll");
    if (sRunning == nullptr || timeout == nullptr || (timeout->tv_sec == 0 && timeout->tv_nsec == 0))
        return fn(fds, nfds, timeout, mask);
    const struct timespec now = {0, 0};
    int rc = fn(fds, nfds, &now, mask);
    if (rc == 0)
        Skip((uint64_t)timeout->tv_sec * 1000 + (uint64_t)timeout->tv_nsec / 1000000);
    return rc;
}

} // extern "C"

int RunToolInProcess(const std::vector<std::string>& args, const uint8_t* input, size_t inputLen,
                     BoardModel* board, std::string* output)
{
    static FILE* devNull = fopen("/dev/null", "w");
    FILE* out = output != nullptr ? tmpfile() : devNull;
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv;
    storage.push_back({'V', 'e', 'm', 'i', 'C', 'm', 'd', '\0'});
    for (const std::string& a : args) {
        storage.emplace_back(a.begin(), a.end());
        storage.back().push_back('\0');
    }
    for (auto& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    // fmemopen cannot open an empty buffer for reading; an empty file reads as end of input.
    static const char kEmpty[1] = {0};
    FILE* in = fmemopen(inputLen ? (void*)input : (void*)kEmpty, inputLen ? inputLen : 1, "r");
    if (inputLen == 0)
        fgetc(in);

    ResetProgramState();
    gRun.streams.in = in;
    gRun.streams.out = out;
    static char lock[64];
    snprintf(lock, sizeof(lock), "/tmp/vemi-inprocess-%d.lock", (int)getpid());
    gRun.lockPath = lock; // this process's own, not the machine's
    static VemiTransport transport;
    transport = SimTransport(board);
    sRunning = board;
    int status = ExitStatusOf((uint32_t)VemiMain(&transport, (int)(argv.size() - 1), argv.data()));
    sRunning = nullptr;
    unlink(lock);
    fflush(out);
    clearerr(out);
    if (output != nullptr) {
        output->clear();
        rewind(out);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), out)) > 0)
            output->append(buf, n);
        fclose(out);
    }
    fclose(in);
    ResetProgramState();
    return status;
}

BoardModel* FreshDefaultBoard()
{
    static BoardConfig config = DefaultBoard();
    static BoardModel model;
    BoardInit(&model, config);
    return &model;
}

int RunOnBoard(const std::string& json, const std::vector<std::string>& args, const std::string& input,
               std::string* output)
{
    BoardConfig config;
    std::string error;
    if (!ParseBoardText(json, &config, &error))
        return -1;
    BoardModel model;
    BoardInit(&model, config);
    return RunToolInProcess(args, (const uint8_t*)input.data(), input.size(), &model, output);
}
