// Preloaded into a program (LD_PRELOAD), this library answers the device node
// /dev/vemix and its ioctl with the simulated board. Every other path, descriptor
// and request passes through to the C library untouched.
//
// Settings, from the environment (vemisim sets them):
//   VEMISIM_BOARD       board file; the built-in default board when unset
//   VEMISIM_TRACE       file that receives one line per request: under vemisim the
//                       lines go to the shared board, and vemisim writes them
//   VEMISIM_TRACE_TIMES "1": each trace line begins with the board's clock, in
//                       milliseconds to the microsecond
//   VEMISIM_FAST_CLOCK  "1": sleeps pass at once for the program, not for the board
//   VEMISIM_RECORD      file that receives a recording of every request; the real
//                       device answers unless VEMISIM_BOARD names a board
//   VEMISIM_RUN         the run's folder: its files, and the stand-ins for the
//                       programs' machine-wide paths (NodePaths.h)
//   VEMISIM_SHARED      the board that all processes under one vemisim share:
//                       an inherited descriptor and the identity of its file,
//                       which is found by its name in the run's folder when the
//                       descriptor was closed
//   VEMISIM_NODE        the node's stand-in, the same way: each open of the node
//                       is a descriptor of it
//   VEMISIM_JOURNAL     the run's requests as --record keeps them, the same way
//
// A descriptor of the node is known by the file it is open on, not by its number,
// so that dup, dup2, fcntl(F_DUPFD) and exec behave as with a device node. The node
// takes only its ioctl: read, write and mmap on it fail with ENODEV, as on a
// device without them; lseek succeeds, as on a device.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#ifdef __FreeBSD__
#include <stdlib.h> // alloca
#else
#include <alloca.h>
#endif

#include "AddressCheck.h"
#include "BoardModel.h"
#include "NodePaths.h"
#include "Preloadable.h"
#include "Recorder.h"
#include "VemiRequest.h"
#include "VemiStatus.h"

namespace {

template <typename F> F Next(const char* name)
{
    return (F)dlsym(RTLD_NEXT, name);
}

using OpenFn = int (*)(const char*, int, ...);
using OpenatFn = int (*)(int, const char*, int, ...);
using IoctlFn = int (*)(int, unsigned long, ...);

int RealOpen(const char* path, int flags, mode_t mode)
{
    static OpenFn fn = Next<OpenFn>("open");
    return fn(path, flags, mode);
}

struct Simulation {
    bool failed = false;     // the board could not be loaded: the node cannot be opened
    bool useModel = true;    // false: recording in front of the real device
    int traceFd = -1;
    BoardModel model;
    Recorder recorder;
    bool recording = false;
    bool ready = false;      // set up: its board's clock may be read
};

// What the node's descriptors are open on: the board's file (or, recording from
// the real device, the device). Kept apart from the board, so that programs that
// never open the node, and the ioctl and sleep calls of any program, do not load one.
struct NodeIdentity {
    bool looked = false; // the environment was read
    bool known = false;
    dev_t dev = 0;
    ino_t ino = 0;
    int base = -1;       // a descriptor of the board's file, duplicated for each open
};
NodeIdentity sNode;
Simulation* sSim = nullptr; // published whole, once its board is loaded
pthread_mutex_t sSimMaking = PTHREAD_MUTEX_INITIALIZER;

// The model's own state (what a request did, the faults' counters, the process's
// user count) is the process's, shared by its threads: one request at a time. Its
// signals wait meanwhile, as a driver call is not interrupted by a handler, so that
// no handler that makes a request itself comes in the middle of one.
pthread_mutex_t sModelMutex = PTHREAD_MUTEX_INITIALIZER;
int sRaised = 0; // a fault the request ends in, raised once the lock is let go
struct ModelLock {
    sigset_t saved;
    ModelLock()
    {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &saved);
        pthread_mutex_lock(&sModelMutex);
    }
    ~ModelLock()
    {
        pthread_mutex_unlock(&sModelMutex);
        pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    }
};

// "fd:dev:ino", as SharedBoardReference writes it.
bool ParseReference(const char* text, int* fd, unsigned long long* dev, unsigned long long* ino)
{
    return text != nullptr && sscanf(text, "%d:%llu:%llu", fd, dev, ino) == 3;
}

void KnowNode(const struct stat& st, int base)
{
    sNode.known = true;
    sNode.dev = st.st_dev;
    sNode.ino = st.st_ino;
    sNode.base = base;
}

void LookAtNode()
{
    if (sNode.looked)
        return;
    sNode.looked = true;
    const char* board = getenv("VEMISIM_BOARD");
    const char* record = getenv("VEMISIM_RECORD");
    struct stat st;
    if (record != nullptr && *record != '\0' && (board == nullptr || *board == '\0')) {
        if (stat(VEMI_DEVICE_PATH, &st) == 0) // the real device, recorded
            KnowNode(st, -1);
        return;
    }
    // The node is known by the identity the run gave its stand-in, also where this
    // process cannot have the file any more: its descriptors still are the node.
    const char* node = getenv("VEMISIM_NODE");
    int fd;
    unsigned long long dev, ino;
    if (!ParseReference(node, &fd, &dev, &ino))
        return;
    sNode.known = true;
    sNode.dev = (dev_t)dev;
    sNode.ino = (ino_t)ino;
    sNode.base = FindRunFile(node, kRunNodeName, true);
}

bool FastClock()
{
    static int fast = -1;
    if (fast < 0) {
        const char* v = getenv("VEMISIM_FAST_CLOCK");
        fast = v != nullptr && strcmp(v, "1") == 0;
    }
    return fast == 1;
}

void WriteTrace(int fd, const std::string& line)
{
    std::string text = line + "\n";
    if (write(fd, text.data(), text.size()) < 0) { /* tracing must not change the run */ }
}

// A slow driver's answer takes real time, also under the fast clock, whose sleeps
// are this library's own.
void RealDelay(uint32_t ms)
{
    static auto fn = Next<int (*)(const struct timespec*, struct timespec*)>("nanosleep");
    struct timespec left = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000};
    while (fn(&left, &left) != 0 && errno == EINTR) {
    }
}

// Each process that uses the node is counted, also one forked after the node was
// opened: once there are two, trace lines name their process.
void NoteUser(Simulation* sim)
{
    int32_t pid = (int32_t)getpid();
    if (sim->model.pid == pid)
        return;
    sim->model.pid = pid;
    if (sim->model.shared != nullptr)
        __atomic_add_fetch(&sim->model.shared->processCount, 1, __ATOMIC_RELAXED);
}

Simulation* MakeSim();

// The process's simulation, made by the first thread that needs it while the others wait.
Simulation* Sim()
{
    Simulation* sim = __atomic_load_n(&sSim, __ATOMIC_ACQUIRE);
    if (sim != nullptr)
        return sim;
    pthread_mutex_lock(&sSimMaking);
    sim = sSim != nullptr ? sSim : MakeSim();
    __atomic_store_n(&sSim, sim, __ATOMIC_RELEASE);
    pthread_mutex_unlock(&sSimMaking);
    return sim;
}

Simulation* MakeSim()
{
    Simulation* sim = new Simulation;
    const char* boardPath = getenv("VEMISIM_BOARD");
    const char* tracePath = getenv("VEMISIM_TRACE");
    const char* recordPath = getenv("VEMISIM_RECORD");
    BoardConfig board = DefaultBoard();
    if (boardPath != nullptr && *boardPath != '\0') {
        std::string error;
        if (!LoadBoardFile(boardPath, &board, &error)) {
            fprintf(stderr, "vemisim: %s: %s\n", boardPath, error.c_str());
            sim->failed = true;
        }
    }
    if (recordPath != nullptr && *recordPath != '\0') {
        sim->recording = true;
        sim->recorder.path = recordPath;
        sim->useModel = boardPath != nullptr && *boardPath != '\0';
    }
    const char* shared = getenv("VEMISIM_SHARED");
    if (shared != nullptr && *shared != '\0') {
        sim->model.shared = MapSharedBoard(shared);
        // Never a board of its own in the middle of a run: the node is not there.
        if (sim->model.shared == nullptr) {
            fprintf(stderr, "vemisim: the run's board cannot be reached from this process (%s): no node\n",
                    strerror(errno));
            sim->failed = true;
        }
    }
    const char* times = getenv("VEMISIM_TRACE_TIMES");
    bool timed = times != nullptr && strcmp(times, "1") == 0;
    if (tracePath != nullptr && *tracePath != '\0' && sim->model.shared != nullptr) {
        // vemisim writes the lines: a trace file that blocks never holds up a request.
        SharedBoard* board = sim->model.shared;
        sim->model.trace = [board, timed](const std::string& line) {
            if (!timed) {
                TraceAppend(board, line);
                return;
            }
            int64_t us = BoardClockUs(board);
            char at[32];
            snprintf(at, sizeof(at), "%lld.%03lld ", (long long)(us / 1000), (long long)(us % 1000));
            TraceAppend(board, at + line);
        };
    } else if (tracePath != nullptr && *tracePath != '\0') {
        sim->traceFd = RealOpen(tracePath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        int fd = sim->traceFd;
        if (fd >= 0)
            sim->model.trace = [fd](const std::string& line) { WriteTrace(fd, line); };
    }
    const char* journal = getenv("VEMISIM_JOURNAL");
    if (sim->recording && sim->model.shared != nullptr && journal != nullptr && *journal != '\0') {
        sim->recorder.journal = FindRunFile(journal, kRunJournalName, false);
        sim->recorder.board = sim->recorder.journal >= 0 ? sim->model.shared : nullptr;
    }
    if (sim->model.shared != nullptr) {
        // A restart ends every process of the board, this one at once, as power does.
        sim->model.restarted = [] { kill(getpid(), SIGKILL); };
    }
    sim->model.warn = [](const std::string& line) {
        std::string text = "vemisim: " + line + "\n";
        if (write(STDERR_FILENO, text.data(), text.size()) < 0) { /* nowhere else to say it */ }
    };
    sim->model.delay = RealDelay;
    sim->model.raise = [](int sig) { sRaised = sig; }; // in the program's own thread, as a real fault
    BoardInit(&sim->model, board);
    sim->ready = true;
    return sim;
}

bool IsDevice(int fd)
{
    LookAtNode();
    if (!sNode.known || fd < 0)
        return false;
    int saved = errno; // a call on another file leaves errno as that call sets it
    struct stat st;
    bool node = fstat(fd, &st) == 0 && st.st_dev == sNode.dev && st.st_ino == sNode.ino;
    errno = saved;
    return node;
}

// Without vemisim, a file of this process's own stands for the node.
int LocalNodeFile()
{
    char path[] = "/tmp/vemisim-node-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return -1;
    unlink(path);
    struct stat st;
    if (fstat(fd, &st) == 0)
        KnowNode(st, fd);
    return fd;
}

int OpenDevice(int flags)
{
    Simulation* sim = Sim();
    if (sim->failed) {
        errno = ENODEV;
        return -1;
    }
    NoteUser(sim);
    LookAtNode();
    if (!sim->useModel) {
        int fd = RealOpen(VEMI_DEVICE_PATH, flags, 0);
        struct stat st;
        if (fd >= 0 && !sNode.known && fstat(fd, &st) == 0)
            KnowNode(st, -1);
        return fd;
    }
    // The simulated node is a real descriptor of the node's stand-in, so that close,
    // dup and exec behave; each open is a descriptor of its own.
    int base = sNode.known ? sNode.base : LocalNodeFile();
    if (base < 0) {
        errno = ENODEV;
        return -1;
    }
    return fcntl(base, (flags & O_CLOEXEC) ? F_DUPFD_CLOEXEC : F_DUPFD, 0);
}

// Whether open was given a mode argument, as the C library decides it.
bool NeedsMode(int flags)
{
#ifdef O_TMPFILE
    if ((flags & O_TMPFILE) == O_TMPFILE)
        return true;
#endif
    return (flags & O_CREAT) != 0;
}

mode_t ModeArg(int flags, va_list ap)
{
    return NeedsMode(flags) ? (mode_t)va_arg(ap, int) : 0;
}

uint32_t LockedRequest(Simulation* sim, int fd, unsigned long request, void* arg);

int DeviceRequest(int fd, unsigned long request, void* arg)
{
    Simulation* sim = Sim();
    if (request == FIOCLEX || request == FIONCLEX || request == FIONBIO || request == FIOASYNC) {
        static IoctlFn fn = Next<IoctlFn>("ioctl"); // the descriptor's own, as for any file
        return fn(fd, request, arg);
    }
    if (request != VEMI_IOCTL_REQUEST) {
        errno = EINVAL;
        return -1;
    }
    uint32_t status;
    int raised = 0;
    {
        ModelLock lock;
        sRaised = 0;
        status = LockedRequest(sim, fd, request, arg);
        raised = sRaised;
    }
    if (raised != 0)
        raise(raised); // once the request is done with, as a fault at its end would be
    if (status == 0)
        return 0;
    errno = (int)status;
    return -1;
}

uint32_t LockedRequest(Simulation* sim, int fd, unsigned long request, void* arg)
{
    vemix_struct rec;
    bool readable = sim->recording && CopyFromCaller(&rec, arg, sizeof(rec));
    RecordedRequest entry;
    if (readable)
        entry = RecordBefore(rec);

    uint32_t status;
    if (sim->useModel) {
        NoteUser(sim);
        status = BoardRequest(&sim->model, arg);
    } else {
        static IoctlFn fn = Next<IoctlFn>("ioctl");
        status = fn(fd, request, arg) == 0 ? 0 : (uint32_t)errno;
        uint32_t returned = 0;
        if (sim->traceFd >= 0 && readable && CopyFromCaller(&returned, rec.bytesReturned, 4))
            WriteTrace(sim->traceFd, TraceLine(entry.group, entry.offset, entry.in, rec.outBufferLen,
                                               status, returned));
    }
    if (readable)
        RecordAfter(&sim->recorder, entry, rec, status);
    return status;
}

void FastSleep(uint64_t ms)
{
    Simulation* sim = Sim();
    ModelLock lock;
    BoardAdvanceClock(&sim->model, ms);
}

__attribute__((constructor)) void TakeRealClock()
{
    SetRealClock(Next<int (*)(clockid_t, struct timespec*)>("clock_gettime"));
    LookAtNode(); // before any thread or handler asks whether a descriptor is the node
    // A child forked while another thread made a request finds the lock free.
    pthread_atfork([] { pthread_mutex_lock(&sModelMutex); }, [] { pthread_mutex_unlock(&sModelMutex); },
                   [] { pthread_mutex_unlock(&sModelMutex); });
}

__attribute__((destructor)) void AtExit()
{
    Simulation* sim = __atomic_load_n(&sSim, __ATOMIC_ACQUIRE);
    if (sim == nullptr || !sim->useModel)
        return;
    ModelLock lock;
    BoardAtExit(&sim->model);
}

// Whether the program `file` (searched in PATH with `search`, as execvp does) is
// one to refuse: said once, on standard error and in the run's folder.
bool Refused(const char* file, bool search)
{
    char path[PATH_MAX];
    if (getenv("VEMISIM_RUN") == nullptr || file == nullptr || !(search ? FindProgram(file, path, sizeof(path))
                                                                        : (strlen(file) < sizeof(path) &&
                                                                           strcpy(path, file) != nullptr)))
        return false;
    const char* why = WhyNotPreloadable(path);
    if (why == nullptr)
        return false;
    char line[PATH_MAX + 160];
    int n = snprintf(line, sizeof(line),
                     "vemisim: %s is %s: the board cannot be preloaded into it, and it would reach the real %s; "
                     "not run\n", path, why, VEMI_DEVICE_PATH);
    size_t length = n < 0 ? 0 : (size_t)n < sizeof(line) ? (size_t)n : sizeof(line) - 1;
    if (write(STDERR_FILENO, line, length) < 0) { /* the run's folder still has it */ }
    char note[PATH_MAX];
    snprintf(note, sizeof(note), "%s/refused", getenv("VEMISIM_RUN"));
    int fd = RealOpen(note, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) {
        if (write(fd, line, length) < 0) { /* vemisim tells what it finds */ }
        close(fd);
    }
    return true;
}

} // namespace

// Each entry passes other paths and descriptors to the C library's function of its
// own name, so that an entry libc itself calls through (FreeBSD's open calls
// __sys_openat) never comes back here.
#define OPEN_ENTRY(name)                                                                  \
    int name(const char* path, int flags, ...)                                            \
    {                                                                                     \
        va_list ap;                                                                       \
        va_start(ap, flags);                                                              \
        mode_t mode = ModeArg(flags, ap);                                                 \
        va_end(ap);                                                                       \
        static OpenFn real = Next<OpenFn>(#name);                                         \
        return IsDevicePathAt(AT_FDCWD, path) ? OpenDevice(flags)                         \
                                              : real(MachinePathAt(AT_FDCWD, path), flags, mode); \
    }
#define OPENAT_ENTRY(name)                                                                \
    int name(int dirfd, const char* path, int flags, ...)                                 \
    {                                                                                     \
        va_list ap;                                                                       \
        va_start(ap, flags);                                                              \
        mode_t mode = ModeArg(flags, ap);                                                 \
        va_end(ap);                                                                       \
        static OpenatFn real = Next<OpenatFn>(#name);                                     \
        return IsDevicePathAt(dirfd, path) ? OpenDevice(flags)                            \
                                           : real(dirfd, MachinePathAt(dirfd, path), flags, mode); \
    }
#define IOCTL_ENTRY(name)                                                                 \
    int name(int fd, unsigned long request, ...)                                          \
    {                                                                                     \
        va_list ap;                                                                       \
        va_start(ap, request);                                                            \
        void* arg = va_arg(ap, void*);                                                    \
        va_end(ap);                                                                       \
        static IoctlFn real = Next<IoctlFn>(#name);                                       \
        return IsDevice(fd) ? DeviceRequest(fd, request, arg) : real(fd, request, arg);   \
    }
// The calls a lock file's holder makes on its path besides open, on a machine-wide path.
#define PATH_ENTRY(name, type)                                                            \
    int name(const char* path, type* st)                                                  \
    {                                                                                     \
        static auto real = Next<int (*)(const char*, type*)>(#name);                      \
        return real(MachinePathAt(AT_FDCWD, path), st);                                   \
    }
#define PATH_AT_ENTRY(name, type)                                                         \
    int name(int dirfd, const char* path, type* st, int flags)                            \
    {                                                                                     \
        static auto real = Next<int (*)(int, const char*, type*, int)>(#name);            \
        return real(dirfd, MachinePathAt(dirfd, path), st, flags);                        \
    }
#define UNLINK_ENTRY(name)                                                                \
    int name(const char* path)                                                            \
    {                                                                                     \
        static auto real = Next<int (*)(const char*)>(#name);                             \
        return real(MachinePathAt(AT_FDCWD, path));                                       \
    }

extern "C" {

OPEN_ENTRY(open)
OPENAT_ENTRY(openat)
IOCTL_ENTRY(ioctl)
PATH_ENTRY(stat, struct stat)
PATH_ENTRY(lstat, struct stat)
UNLINK_ENTRY(unlink)
PATH_AT_ENTRY(fstatat, struct stat)
int unlinkat(int dirfd, const char* path, int flags)
{
    static auto real = Next<int (*)(int, const char*, int)>("unlinkat");
    return real(dirfd, MachinePathAt(dirfd, path), flags);
}

// The node takes no bytes and gives none: only its ioctl reaches the board.
#define IO_ENTRY(name, ret, params, args)                                                 \
    ret name params                                                                       \
    {                                                                                     \
        static auto real = Next<ret(*) params>(#name);                                    \
        if (IsDevice(fd)) {                                                               \
            errno = ENODEV;                                                               \
            return -1;                                                                    \
        }                                                                                 \
        return real args;                                                                 \
    }
IO_ENTRY(read, ssize_t, (int fd, void* buf, size_t n), (fd, buf, n))
IO_ENTRY(write, ssize_t, (int fd, const void* buf, size_t n), (fd, buf, n))
IO_ENTRY(pread, ssize_t, (int fd, void* buf, size_t n, off_t at), (fd, buf, n, at))
IO_ENTRY(pwrite, ssize_t, (int fd, const void* buf, size_t n, off_t at), (fd, buf, n, at))
IO_ENTRY(readv, ssize_t, (int fd, const struct iovec* v, int n), (fd, v, n))
IO_ENTRY(writev, ssize_t, (int fd, const struct iovec* v, int n), (fd, v, n))

void* mmap(void* addr, size_t len, int prot, int flags, int fd, off_t at)
{
    static auto real = Next<void* (*)(void*, size_t, int, int, int, off_t)>("mmap");
    if (fd >= 0 && !(flags & MAP_ANON) && IsDevice(fd)) {
        errno = ENODEV;
        return MAP_FAILED;
    }
    return real(addr, len, prot, flags, fd, at);
}

// A program the board cannot be preloaded into is not run: it would reach the
// real node. Said on standard error and in the run's folder (vemisim exits 126 for
// it), with write(2) alone, as a child of vfork may call these.
#define EXEC_ENTRY(name, ret, params, file, search, fails, args)                          \
    ret name params                                                                       \
    {                                                                                     \
        static auto real = Next<ret(*) params>(#name);                                    \
        if (Refused(file, search)) {                                                      \
            fails;                                                                        \
        }                                                                                 \
        return real args;                                                                 \
    }
EXEC_ENTRY(execve, int, (const char* path, char* const argv[], char* const envp[]), path, false,
           errno = EPERM; return -1, (path, argv, envp))
EXEC_ENTRY(execv, int, (const char* path, char* const argv[]), path, false, errno = EPERM; return -1, (path, argv))
EXEC_ENTRY(execvp, int, (const char* file, char* const argv[]), file, true, errno = EPERM; return -1, (file, argv))
EXEC_ENTRY(posix_spawn, int,
           (pid_t * pid, const char* path, const posix_spawn_file_actions_t* actions, const posix_spawnattr_t* attr,
            char* const argv[], char* const envp[]),
           path, false, return EPERM, (pid, path, actions, attr, argv, envp))
EXEC_ENTRY(posix_spawnp, int,
           (pid_t * pid, const char* file, const posix_spawn_file_actions_t* actions, const posix_spawnattr_t* attr,
            char* const argv[], char* const envp[]),
           file, true, return EPERM, (pid, file, actions, attr, argv, envp))

// The list forms, through the vector forms above: the arguments up to the null
// one (and execle's environment after it), on the stack.
#define EXEC_LIST(name, call)                                                             \
    int name(const char* file, const char* arg, ...)                                      \
    {                                                                                     \
        va_list ap, count;                                                                \
        va_start(ap, arg);                                                                \
        va_copy(count, ap);                                                               \
        size_t n = 1;                                                                     \
        while (va_arg(count, const char*) != nullptr)                                     \
            n++;                                                                          \
        va_end(count);                                                                    \
        const char** argv = (const char**)alloca((n + 1) * sizeof(char*));                \
        argv[0] = arg;                                                                    \
        for (size_t i = 1; i <= n; i++)                                                   \
            argv[i] = va_arg(ap, const char*);                                            \
        call;                                                                             \
    }
EXEC_LIST(execl, va_end(ap); return execv(file, (char* const*)argv))
EXEC_LIST(execlp, va_end(ap); return execvp(file, (char* const*)argv))
EXEC_LIST(execle, char* const* envp = va_arg(ap, char* const*); va_end(ap);
          return execve(file, (char* const*)argv, envp))

#ifdef __GLIBC__
// The large-file names, and the entries _FORTIFY_SOURCE builds call instead of open.
OPEN_ENTRY(open64)
OPENAT_ENTRY(openat64)
int __open_2(const char* path, int flags) { return open(path, flags); }
int __open64_2(const char* path, int flags) { return open(path, flags); }
int __openat_2(int dirfd, const char* path, int flags) { return openat(dirfd, path, flags); }
int __openat64_2(int dirfd, const char* path, int flags) { return openat(dirfd, path, flags); }
PATH_ENTRY(stat64, struct stat64)
PATH_ENTRY(lstat64, struct stat64)
PATH_AT_ENTRY(fstatat64, struct stat64)
EXEC_ENTRY(execvpe, int, (const char* file, char* const argv[], char* const envp[]), file, true,
           errno = EPERM; return -1, (file, argv, envp))
IO_ENTRY(pread64, ssize_t, (int fd, void* buf, size_t n, off64_t at), (fd, buf, n, at))
IO_ENTRY(pwrite64, ssize_t, (int fd, const void* buf, size_t n, off64_t at), (fd, buf, n, at))
void* mmap64(void* addr, size_t len, int prot, int flags, int fd, off64_t at)
{
    return mmap(addr, len, prot, flags, fd, (off_t)at);
}
#endif

#ifdef __FreeBSD__
// libc's own names: its functions call _open and the system call stubs __sys_* directly.
OPEN_ENTRY(_open)
OPEN_ENTRY(__sys_open)
OPENAT_ENTRY(_openat)
OPENAT_ENTRY(__sys_openat)
IOCTL_ENTRY(_ioctl)
IOCTL_ENTRY(__sys_ioctl)
#endif

// Fast clock: the program's sleeps return at once and the board's clock moves on.
unsigned int sleep(unsigned int seconds)
{
    if (FastClock()) {
        FastSleep(seconds * 1000ull);
        return 0;
    }
    static auto fn = Next<unsigned int (*)(unsigned int)>("sleep");
    return fn(seconds);
}

int usleep(useconds_t usec)
{
    if (FastClock()) {
        FastSleep(usec / 1000);
        return 0;
    }
    static auto fn = Next<int (*)(useconds_t)>("usleep");
    return fn(usec);
}

int nanosleep(const struct timespec* req, struct timespec* rem)
{
    if (FastClock() && req != nullptr) {
        FastSleep((uint64_t)req->tv_sec * 1000 + (uint64_t)req->tv_nsec / 1000000);
        if (rem != nullptr)
            *rem = {0, 0};
        return 0;
    }
    static auto fn = Next<int (*)(const struct timespec*, struct timespec*)>("nanosleep");
    return fn(req, rem);
}

int clock_nanosleep(clockid_t clock, int flags, const struct timespec* req, struct timespec* rem)
{
    if (FastClock() && req != nullptr && !(flags & TIMER_ABSTIME)) {
        FastSleep((uint64_t)req->tv_sec * 1000 + (uint64_t)req->tv_nsec / 1000000);
        return 0;
    }
    static auto fn = Next<int (*)(clockid_t, int, const struct timespec*, struct timespec*)>(
        "clock_nanosleep");
    return fn(clock, flags, req, rem);
}

// The program's monotonic clock moves with the board's: what the fast clock skipped
// is added, so that a schedule kept on the clock (the watchdog test's) sees its
// waits pass. The board itself keeps the real clock.
int clock_gettime(clockid_t clock, struct timespec* ts)
{
    static auto fn = Next<int (*)(clockid_t, struct timespec*)>("clock_gettime");
    int rc = fn(clock, ts);
    if (rc != 0 || clock != CLOCK_MONOTONIC || !FastClock() || sSim == nullptr || !sSim->ready || sSim->failed ||
        !sSim->useModel)
        return rc;
    int64_t ns = ts->tv_nsec + (BoardSkippedMs(&sSim->model) % 1000) * 1000000;
    ts->tv_sec += (time_t)(BoardSkippedMs(&sSim->model) / 1000) + (time_t)(ns / 1000000000);
    ts->tv_nsec = (long)(ns % 1000000000);
    return rc;
}

// A timed wait for input: ready input answers at once; otherwise the time passes at once.
int poll(struct pollfd* fds, nfds_t nfds, int timeout)
{
    static auto fn = Next<int (*)(struct pollfd*, nfds_t, int)>("poll");
    if (!FastClock() || timeout <= 0)
        return fn(fds, nfds, timeout);
    int rc = fn(fds, nfds, 0);
    if (rc == 0)
        FastSleep((uint64_t)timeout);
    return rc;
}

// The same with a signal mask for the wait: a signal it lets in still ends it.
int ppoll(struct pollfd* fds, nfds_t nfds, const struct timespec* timeout, const sigset_t* mask)
{
    static auto fn = Next<int (*)(struct pollfd*, nfds_t, const struct timespec*, const sigset_t*)>("ppoll");
    if (!FastClock() || timeout == nullptr || (timeout->tv_sec == 0 && timeout->tv_nsec == 0))
        return fn(fds, nfds, timeout, mask);
    const struct timespec now = {0, 0};
    int rc = fn(fds, nfds, &now, mask);
    if (rc == 0)
        FastSleep((uint64_t)timeout->tv_sec * 1000 + (uint64_t)timeout->tv_nsec / 1000000);
    return rc;
}

} // extern "C"
