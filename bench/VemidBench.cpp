// vemid's cost, beside what it replaces: VemiCmd --prometheus /ver /sens /dalv run
// once a round (from cron), both beside the same device stub.
//  - CPU time per round: vemid with -s 1 -m -u -p 1 (each round a feed, the
//    metrics of /ver /sens /dalv and a UPS read), no health check. Two runs, a
//    short and a long one; the difference in CPU time over the difference in
//    feeds, so that the start and the stop do not count. The yardstick: the
//    median CPU time of one VemiCmd run.
//  - Memory: vemid's private memory (what it does not share: its data, heap and
//    stack, the pages of libraries it wrote to) and its resident size, which grows
//    with the libraries that it locks in memory when it may; beside the peak
//    resident size of one VemiCmd run.
// Usage: vemid_bench VEMID VEMICMD TINY_DEVICE_SO [SECONDS] [RUNS]
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ProcessRun.h"

namespace {

struct DaemonRun {
    Outcome outcome;
    long feeds = -1;
    long privateKiB = -1, rssKiB = -1;
};

// A field of /proc/PID/smaps_rollup, in KiB; -1 where there is none.
long Smaps(pid_t pid, const char* field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string name;
    long kib = -1;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        long value = 0;
        if (words >> name >> value && name == std::string(field) + ":")
            kib = value;
    }
    return kib;
}

long MetricValue(const std::string& path, const std::string& name)
{
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, name.size() + 1, name + " ") == 0)
            return atol(line.c_str() + name.size() + 1);
    return -1;
}

DaemonRun RunVemid(const std::string& vemid, const std::string& tiny, const std::string& dir, int seconds)
{
    std::string metrics = dir + "/vemid.prom";
    unlink(metrics.c_str());
    pid_t pid = Start({vemid, "-d", "-t", "10", "-s", "1", "-I", dir + "/vemid.pid", "-m", metrics, "-u",
                       dir + "/ups.dev", "-p", "1"},
                      tiny);
    sleep((unsigned)seconds);
    DaemonRun r;
    long clean = Smaps(pid, "Private_Clean"), dirty = Smaps(pid, "Private_Dirty");
    r.privateKiB = clean < 0 || dirty < 0 ? -1 : clean + dirty;
    r.rssKiB = Smaps(pid, "Rss");
    kill(pid, SIGTERM);
    r.outcome = Finish(pid);
    r.feeds = MetricValue(metrics, "vemid_feeds_total");
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: vemid_bench VEMID VEMICMD TINY_DEVICE_SO [SECONDS] [RUNS]\n");
        return 2;
    }
    std::string vemid = argv[1], vemicmd = argv[2], tiny = argv[3];
    int seconds = argc > 4 ? atoi(argv[4]) : 10;
    int runs = argc > 5 ? atoi(argv[5]) : 21;
    std::string dir = "/tmp/vemid-bench." + std::to_string(getpid());
    mkdir(dir.c_str(), 0755);

    std::vector<double> cpu;
    long toolRss = 0;
    for (int i = 0; i < runs; i++) {
        Outcome o = Run({vemicmd, "--prometheus", "/ver", "/sens", "/dalv"}, tiny);
        if (o.status != 0) {
            fprintf(stderr, "VemiCmd failed (%d): %s\n", o.status, o.err.c_str());
            return 1;
        }
        cpu.push_back(o.cpuSeconds);
        toolRss = toolRss > o.maxRssKiB ? toolRss : o.maxRssKiB;
    }
    DaemonRun shortRun = RunVemid(vemid, tiny, dir, 2);
    DaemonRun longRun = RunVemid(vemid, tiny, dir, 2 + seconds);
    rmdir(dir.c_str());
    for (const DaemonRun* r : {&shortRun, &longRun})
        if (r->outcome.status != 0 || r->feeds < 0) {
            fprintf(stderr, "vemid failed (%d, %ld feeds): %s\n", r->outcome.status, r->feeds,
                    r->outcome.err.c_str());
            return 1;
        }
    long rounds = longRun.feeds - shortRun.feeds;
    if (rounds <= 0) {
        fprintf(stderr, "vemid fed %ld times, then %ld: no rounds to measure\n", shortRun.feeds, longRun.feeds);
        return 1;
    }
    double perRound = (longRun.outcome.cpuSeconds - shortRun.outcome.cpuSeconds) / (double)rounds;
    double once = Median(cpu);
    printf("CPU time, beside a device stub:\n");
    printf("  vemid, one round (feed, metrics of /ver /sens /dalv, UPS read): %7.1f us  (%ld rounds)\n",
           perRound * 1e6, rounds);
    printf("  VemiCmd --prometheus /ver /sens /dalv, one run:                 %7.1f us  (median of %d)\n",
           once * 1e6, runs);
    printf("  a round costs %.3f x the run\n", perRound / once);
    printf("\nMemory:\n");
    printf("  vemid private: %ld KiB (goal: under 2048), resident: %ld KiB%s\n", longRun.privateKiB,
           longRun.rssKiB, geteuid() == 0 ? " (memory locked)" : " (not root: memory not locked)");
    printf("  VemiCmd --prometheus /ver /sens /dalv, peak resident: %ld KiB\n", toolRss);
    return 0;
}
