#include "ProcessRun.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

namespace {

struct Started {
    struct timespec at;
    std::string errPath;
};
std::map<pid_t, Started> sStarted;

double Seconds(const struct timeval& t)
{
    return (double)t.tv_sec + (double)t.tv_usec / 1e6;
}

} // namespace

pid_t Start(const std::vector<std::string>& argv, const std::string& preload)
{
    static int serial = 0;
    Started s;
    s.errPath = "/tmp/process-bench-stderr." + std::to_string(getpid()) + "." + std::to_string(serial++);
    clock_gettime(CLOCK_MONOTONIC, &s.at);
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        int err = open(s.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(devnull, 1);
        dup2(err, 2);
        if (!preload.empty())
            setenv("LD_PRELOAD", preload.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back((char*)a.c_str());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    sStarted[pid] = s;
    return pid;
}

Outcome Finish(pid_t pid)
{
    int status = 0;
    struct rusage ru;
    wait4(pid, &status, 0, &ru);
    struct timespec end;
    clock_gettime(CLOCK_MONOTONIC, &end);
    Started s = sStarted[pid];
    sStarted.erase(pid);
    Outcome o;
    o.seconds = (double)(end.tv_sec - s.at.tv_sec) + (double)(end.tv_nsec - s.at.tv_nsec) / 1e9;
    o.cpuSeconds = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
    o.maxRssKiB = ru.ru_maxrss;
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(s.errPath);
    o.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    unlink(s.errPath.c_str());
    return o;
}

Outcome Run(const std::vector<std::string>& argv, const std::string& preload)
{
    return Finish(Start(argv, preload));
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}
