#include "WatchdogShare.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

static WatchdogTable* MapFd(int fd)
{
    void* p = mmap(nullptr, sizeof(WatchdogTable), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return p == MAP_FAILED ? nullptr : (WatchdogTable*)p;
}

WatchdogTable* CreateWatchdogTable(const char* dir, char* path, int pathSize)
{
    if (snprintf(path, (size_t)pathSize, "%s/vemisim-watchdog-XXXXXX", dir) >= pathSize)
        return nullptr;
    int fd = mkstemp(path);
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, sizeof(WatchdogTable)) != 0) {
        close(fd);
        unlink(path);
        return nullptr;
    }
    return MapFd(fd); // a new file reads as zeros: every slot free
}

WatchdogTable* MapWatchdogTable(const char* path)
{
    int fd = open(path, O_RDWR | O_CLOEXEC);
    return fd < 0 ? nullptr : MapFd(fd);
}

WatchdogSlot* TakeWatchdogSlot(WatchdogTable* table, int32_t pid)
{
    for (WatchdogSlot& slot : table->slots) {
        int32_t free = 0;
        if (__atomic_compare_exchange_n(&slot.pid, &free, pid, false, __ATOMIC_SEQ_CST,
                                        __ATOMIC_SEQ_CST))
            return &slot;
    }
    return nullptr;
}

void PublishWatchdog(WatchdogSlot* slot, uint32_t armedSeconds, int64_t deadlineMs)
{
    __atomic_store_n(&slot->deadlineMs, deadlineMs, __ATOMIC_SEQ_CST);
    __atomic_store_n(&slot->armedSeconds, armedSeconds, __ATOMIC_SEQ_CST);
}

uint32_t WatchdogArmed(const WatchdogSlot* slot)
{
    return __atomic_load_n(&slot->armedSeconds, __ATOMIC_SEQ_CST);
}

uint32_t TakeRestart(WatchdogSlot* slot)
{
    return __atomic_exchange_n(&slot->armedSeconds, 0u, __ATOMIC_SEQ_CST);
}

int64_t MonotonicMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}
