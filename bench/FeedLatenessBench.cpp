// How late vemid's feeds come on a loaded machine: vemid under the simulated board
// with a health check, the metrics file and the UPS file (-t 10 -s 1 -p 1), beside
// two CPU hogs and 400 MB of memory churned over and over, for SECONDS (200 by
// default). Each feed's lateness is its time on the board's clock (the trace's)
// against its place on the schedule: every -s from the arm. The yardstick: the same
// on a quiet machine, for a tenth of the time. Run as root, vemid runs at the
// real-time priority it asks for; otherwise it says it cannot.
// Usage: feed_lateness_bench VEMISIM VEMID [SECONDS]
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "ProcessRun.h"

namespace {

const double kFeedMs = 1000;

pid_t Hog(void)
{
    pid_t pid = fork();
    if (pid == 0) {
        volatile unsigned long spin = 0;
        for (;;)
            spin++;
    }
    return pid;
}

// 400 MB taken, every page written, given back, again and again.
pid_t Churn(void)
{
    pid_t pid = fork();
    if (pid == 0) {
        const size_t size = 400u << 20;
        for (;;) {
            char* block = (char*)mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (block == MAP_FAILED)
                _exit(1);
            for (size_t at = 0; at < size; at += 4096)
                block[at] = (char)at;
            munmap(block, size);
        }
    }
    return pid;
}

struct Lateness {
    std::vector<double> ms;
    std::string err;
};

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    size_t at = (size_t)(p * (double)(v.size() - 1) + 0.5);
    return v[at];
}

// The trace's feeds against the schedule of the arm.
Lateness Measure(const std::string& vemisim, const std::string& vemid, const std::string& dir, int seconds)
{
    std::string trace = dir + "/trace";
    pid_t pid = Start({vemisim, "--trace", trace, "--trace-times", "--board", "ups-power-cut", "--", vemid, "-d", "-t",
                       "10", "-s", "1", "-T", "1", "-I", dir + "/vemid.pid", "-e", "sleep 0.1", "-m",
                       dir + "/vemid.prom", "-u", dir + "/ups.dev", "-p", "1"});
    sleep((unsigned)seconds);
    kill(pid, SIGTERM);
    Lateness l;
    Outcome o = Finish(pid);
    if (o.status != 0)
        l.err = "vemisim ended with " + std::to_string(o.status) + ": " + o.err;
    std::ifstream in(trace);
    double armedAt = -1;
    for (std::string line; std::getline(in, line);) {
        double at = atof(line.c_str());
        if (line.find(" 0x6000/0x0 in=0A ") != std::string::npos && armedAt < 0)
            armedAt = (double)(long)at; // vemid keeps its schedule in whole milliseconds
        else if (line.find(" 0x6000/0x6 ") != std::string::npos && armedAt >= 0) {
            double since = at - armedAt;
            l.ms.push_back(since - kFeedMs * (double)(long)(since / kFeedMs + 0.5));
        }
    }
    if (l.ms.empty() && l.err.empty())
        l.err = "no feed in the trace";
    return l;
}

void Report(const char* what, const Lateness& l)
{
    printf("  %-34s median %6.2f ms, p99 %6.2f ms, max %7.2f ms  (%zu feeds)\n", what, Percentile(l.ms, 0.5),
           Percentile(l.ms, 0.99), *std::max_element(l.ms.begin(), l.ms.end()), l.ms.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: feed_lateness_bench VEMISIM VEMID [SECONDS]\n");
        return 2;
    }
    int seconds = argc > 3 ? atoi(argv[3]) : 200;
    char dir[] = "/tmp/vemid-lateness-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        return 1;
    Lateness quiet = Measure(argv[1], argv[2], dir, seconds / 10 > 5 ? seconds / 10 : 5);
    pid_t load[] = {Hog(), Hog(), Churn()};
    Lateness loaded = Measure(argv[1], argv[2], dir, seconds);
    for (pid_t pid : load) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::string clean = std::string("rm -rf ") + dir;
    if (system(clean.c_str()) != 0) { /* a temporary folder left behind */ }
    for (const Lateness* l : {&quiet, &loaded})
        if (!l->err.empty()) {
            fprintf(stderr, "feed lateness: %s\n", l->err.c_str());
            return 1;
        }
    printf("Feed lateness against the schedule (-s 1, a check, metrics, the UPS file), %s:\n",
           geteuid() == 0 ? "as root (real-time priority)" : "not root (normal priority)");
    Report("quiet machine (yardstick):", quiet);
    Report("2 CPU hogs, 400 MB churned:", loaded);
    printf("  goal: max under 50 ms\n");
    return 0;
}
