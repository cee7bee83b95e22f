// Threads on the node, as a threaded program uses it: THREADS threads open it at
// the same moment (the process's first use), then each alternates the version
// read and the user LED request ROUNDS times. Every answer must be the board's:
// the version MAJOR.MINOR.BUILD, with status 0. Prints the wrong answers' count;
// exits 1 when there is any.
// Usage: thread_probe THREADS ROUNDS MAJOR MINOR BUILD
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "VemiRequest.h"

namespace {

std::atomic<int> sWaiting{0};
std::atomic<long> sWrong{0};

void Worker(int threads, int rounds, const uint8_t* want, uint16_t build)
{
    sWaiting++;
    while (sWaiting.load() < threads) {
    }
    int fd = open(VEMI_DEVICE_PATH, O_RDWR);
    for (int i = 0; i < rounds && fd >= 0; i++) {
        uint8_t version[4] = {};
        uint32_t returned = 0;
        vemix_struct read(0, 0, nullptr, 0, version, 4, &returned, nullptr);
        bool right = ioctl(fd, VEMI_IOCTL_REQUEST, &read) == 0 && returned == 4 && version[0] == want[0] &&
                     version[1] == want[1] && (uint16_t)(version[2] | version[3] << 8) == build;
        uint8_t colour = (uint8_t)(i % 4);
        uint32_t none = 0;
        vemix_struct led(0x8000, 1, &colour, 1, nullptr, 0, &none, nullptr);
        right = ioctl(fd, VEMI_IOCTL_REQUEST, &led) == 0 && right;
        if (!right)
            sWrong++;
    }
    if (fd < 0)
        sWrong += rounds;
    else
        close(fd);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6)
        return 2;
    int threads = atoi(argv[1]), rounds = atoi(argv[2]);
    uint8_t want[2] = {(uint8_t)atoi(argv[3]), (uint8_t)atoi(argv[4])};
    uint16_t build = (uint16_t)atoi(argv[5]);
    std::vector<std::thread> all;
    for (int t = 0; t < threads; t++)
        all.emplace_back(Worker, threads, rounds, want, build);
    for (std::thread& t : all)
        t.join();
    printf("%ld wrong answers\n", sWrong.load());
    return sWrong.load() == 0 ? 0 : 1;
}
