// Opens /dev/vemix through every C-library entry a program may use and issues
// requests on it, printing what each call gave: the preload's contract, checked
// from the outside. "spellings LINK": the node by every spelling of its path (LINK
// a symbolic link to it); "io": what the node does besides its ioctl.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <initializer_list>
#include <string>

#include "VemiRequest.h"
#include "VemiStatus.h"

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

// A descriptor of the node made another way than by open: it is the node all the same.
static void Made(const char* how, int fd)
{
    Request(how, fd);
}

// Every spelling of the node's path (from /tmp), and the node from a descriptor of
// /dev and from /dev as the working folder.
static void Spellings(const char* link)
{
    if (chdir("/tmp") != 0)
        return;
    for (const char* path : {"//dev/vemix", "/dev/./vemix", "/dev//vemix", "/dev/../dev/vemix", "../dev/vemix", link})
        Request(path, open(path, O_RDWR));
    int dev = open("/dev", O_RDONLY | O_DIRECTORY);
    Request("openat /dev", openat(dev, "vemix", O_RDWR));
    if (chdir("/dev") == 0)
        Request("from /dev", open("vemix", O_RDWR));
}

// What the node answers besides its ioctl: no bytes, no mapping, a seek.
static void Io(void)
{
    int fd = open(VEMI_DEVICE_PATH, O_RDWR);
    char bytes[64] = {'\377', '\377', '\377', '\377'};
    errno = 0;
    ssize_t w = write(fd, bytes, 4);
    printf("write %zd errno %d\n", w, w < 0 ? errno : 0);
    ssize_t r = read(fd, bytes, sizeof(bytes));
    printf("read %zd errno %d\n", r, r < 0 ? errno : 0);
    void* map = mmap(NULL, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    printf("mmap %s errno %d\n", map == MAP_FAILED ? "failed" : "mapped", map == MAP_FAILED ? errno : 0);
    off_t at = lseek(fd, 0, SEEK_SET);
    printf("lseek %lld\n", (long long)at);
    Request("after", fd);
}

int main(int argc, char** argv)
{
    // Started again by itself across exec, with the node open at argv[2].
    if (argc == 3 && std::string(argv[1]) == "inherited") {
        Request("kept across exec", atoi(argv[2]));
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "spellings") {
        Spellings(argv[2]);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "io") {
        Io();
        return 0;
    }
    // Every entry for opening a file that this system's C library has, found as a
    // program's call finds it: glibc's large-file and fortified ones, FreeBSD's own.
    typedef int (*OpenFn)(const char*, int, ...);
    typedef int (*OpenatFn)(int, const char*, int, ...);
    for (const char* name : {"open", "open64", "__open_2", "__open64_2", "_open", "__sys_open"})
        if (OpenFn fn = (OpenFn)dlsym(RTLD_DEFAULT, name))
            Request(name, fn(VEMI_DEVICE_PATH, O_RDWR));
    for (const char* name : {"openat", "openat64", "__openat_2", "__openat64_2", "_openat", "__sys_openat"})
        if (OpenatFn fn = (OpenatFn)dlsym(RTLD_DEFAULT, name))
            Request(name, fn(AT_FDCWD, VEMI_DEVICE_PATH, O_RDWR));
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
    close(other);

    // Descriptors of the node made by dup, dup2 and fcntl, and the close-on-exec flag.
    int node = open(VEMI_DEVICE_PATH, O_RDWR);
    Made("dup", dup(node));
    Made("dup2", dup2(node, 50));
    Made("F_DUPFD", fcntl(node, F_DUPFD, 60));
    Made("F_DUPFD_CLOEXEC", fcntl(node, F_DUPFD_CLOEXEC, 70));
    int set = ioctl(node, FIOCLEX, 0), cleared = ioctl(node, FIONCLEX, 0);
    printf("FIOCLEX %d, FIONCLEX %d, close-on-exec %d\n", set, cleared, fcntl(node, F_GETFD) & FD_CLOEXEC);
    fflush(stdout);
    std::string number = std::to_string(node);
    execl(argv[0], argv[0], "inherited", number.c_str(), (char*)NULL);
    return 1;
}
