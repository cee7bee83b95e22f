// Opens /dev/vemix through every C-library entry a program may use and issues
// requests on it, printing what each call gave: the preload's contract, checked
// from the outside.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "VemiInterface.h"

// The C library's other entries for opening a file: glibc's large-file and
// fortified ones, FreeBSD's own names that its functions call.
extern "C" {
#ifdef __GLIBC__
int __open_2(const char*, int);
int __open64_2(const char*, int);
int __openat_2(int, const char*, int);
int __openat64_2(int, const char*, int);
int open64(const char*, int, ...);
int openat64(int, const char*, int, ...);
#endif
#ifdef __FreeBSD__
int _open(const char*, int, ...);
int __sys_open(const char*, int, ...);
int _openat(int, const char*, int, ...);
int __sys_openat(int, const char*, int, ...);
#endif
}

static void Request(const char* how, int fd)
{
    uint8_t version[4] = {0, 0, 0, 0};
    uint32_t counter = 0;
    vemix_struct r(0, 0, NULL, 0, version, 4, &counter, NULL);
    errno = 0;
    int rc = ioctl(fd, VEMI_IOCTL_REQUEST, &r);
    printf("%s: fd %s, ioctl %d errno %d, version %u.%u, counter %u\n", how, fd >= 0 ? "ok" : "failed",
           rc, rc ? errno : 0, version[0], version[1], counter);
    if (fd >= 0)
        close(fd);
}

int main()
{
    Request("open", open(VEMI_DEVICE_PATH, O_RDWR));
    Request("openat", openat(AT_FDCWD, VEMI_DEVICE_PATH, O_RDWR));
#ifdef __GLIBC__
    Request("open64", open64(VEMI_DEVICE_PATH, O_RDWR));
    Request("openat64", openat64(AT_FDCWD, VEMI_DEVICE_PATH, O_RDWR));
    Request("__open_2", __open_2(VEMI_DEVICE_PATH, O_RDWR));
    Request("__open64_2", __open64_2(VEMI_DEVICE_PATH, O_RDWR));
    Request("__openat_2", __openat_2(AT_FDCWD, VEMI_DEVICE_PATH, O_RDWR));
    Request("__openat64_2", __openat64_2(AT_FDCWD, VEMI_DEVICE_PATH, O_RDWR));
#endif
#ifdef __FreeBSD__
    Request("_open", _open(VEMI_DEVICE_PATH, O_RDWR));
    Request("__sys_open", __sys_open(VEMI_DEVICE_PATH, O_RDWR));
    Request("_openat", _openat(AT_FDCWD, VEMI_DEVICE_PATH, O_RDWR));
    Request("__sys_openat", __sys_openat(AT_FDCWD, VEMI_DEVICE_PATH, O_RDWR));
#endif
    // Other paths are left alone: /dev/null does not know the request.
    Request("other path", open("/dev/null", O_RDWR));

    int fd = open(VEMI_DEVICE_PATH, O_RDWR);
    int zero = 0;
    int rc = ioctl(fd, 0x5401UL, &zero);
    printf("other request: %d errno %d\n", rc, errno);
    rc = ioctl(fd, VEMI_IOCTL_REQUEST, (void*)16);
    printf("bad record: %d errno %d\n", rc, errno);
    uint32_t counter = 0;
    vemix_struct r(0x7000, 0, NULL, 0, (void*)16, 128, &counter, NULL);
    rc = ioctl(fd, VEMI_IOCTL_REQUEST, &r);
    printf("bad output area: %d errno %d\n", rc, errno);
    // After close the number is no longer the device.
    close(fd);
    int other = open("/dev/null", O_RDWR);
    uint8_t v[4];
    vemix_struct ok(0, 0, NULL, 0, v, 4, &counter, NULL);
    rc = ioctl(other, VEMI_IOCTL_REQUEST, &ok);
    printf("reused descriptor: same %d, ioctl %d errno %d\n", other == fd, rc, errno);
    return 0;
}
