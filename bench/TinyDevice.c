/* A device stub for the benchmarks: answers every request of /ver, /sens, /dalv and
 * the watchdog with fixed records and costs next to nothing, so that the programs
 * and their yardsticks run beside the same, negligible, device (the simulated
 * board's own start-up would weigh on a short run more than the program does). It
 * trusts every address: bench only. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <string.h>

#include "RequestRecord.h"

static int device = -1;

int open(const char* path, int flags, ...)
{
    static int (*real)(const char*, int, ...);
    if (real == NULL)
        real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
    va_list ap;
    va_start(ap, flags);
    int mode = (flags & O_CREAT) ? va_arg(ap, int) : 0;
    va_end(ap);
    if (strcmp(path, "/dev/vemix") == 0)
        return device = real("/dev/null", O_RDWR);
    return real(path, flags, mode);
}

int ioctl(int fd, unsigned long op, ...)
{
    static int (*real)(int, unsigned long, ...);
    if (real == NULL)
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list ap;
    va_start(ap, op);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (fd != device)
        return real(fd, op, arg);
    struct request* r = (struct request*)arg;
    static const uint8_t version[4] = {2, 1, 42, 0};
    static const uint8_t board[12] = {'S', 'I', 'M', '-', '1', '0', '0', 0, 3, 0x10, 0x05, 0};
    static const uint32_t sensorCount = 8;
    static uint8_t sensor[56] = {1, 0, 0, 0, 0, 0, 0, 0, 45, 0}; /* a temperature, 45 C */
    static const uint8_t upsStatus[1] = {0xC7}, upsVersion[2] = {1, 5}, failCounter[2] = {3, 0};
    static const uint8_t failTimes[12] = {0}, gpio[8] = {0x00, 0x05, 0x10, 0x04}, gpioEx[24] = {1, 0, 24};
    const void* answer = NULL;
    uint32_t n = 0;
#define ANSWER(record) (answer = (record), n = sizeof(record))
    switch (r->group) {
    case 0x0000: r->offset == 0 ? ANSWER(version) : ANSWER(board); break;
    case 0x2000:
        if (r->offset == 0)
            ANSWER(&sensorCount), n = sizeof(sensorCount);
        else
            memcpy(sensor + 44, "Sensor", 7), ANSWER(sensor);
        break;
    case 0x5000:
        switch (r->offset) {
        case 1: ANSWER(upsStatus); break;
        case 2: ANSWER(upsVersion); break;
        case 3: ANSWER(failCounter); break;
        case 4: ANSWER(failTimes); break;
        case 0xA0: ANSWER(gpio); break;
        default: ANSWER(gpioEx); break;
        }
        break;
    default: break; /* the watchdog: no output */
    }
    if (n > r->outLen)
        n = r->outLen;
    if (n != 0)
        memcpy(r->out, answer, n);
    *r->returned = n;
    return 0;
}
