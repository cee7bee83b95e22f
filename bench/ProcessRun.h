// Runs a whole program for a benchmark: standard output to /dev/null, standard
// error kept, optionally with a library preloaded; its time, CPU and memory.
#ifndef VEMI_BENCH_PROCESS_RUN_H
#define VEMI_BENCH_PROCESS_RUN_H

#include <sys/types.h>

#include <string>
#include <vector>

struct Outcome {
    double seconds = 0;     // wall clock
    double cpuSeconds = 0;  // user and system
    long maxRssKiB = 0;
    int status = -1;        // exit status, -1 when a signal ended it
    std::string err;
};

// Starts the program and returns at once; Finish waits for it.
pid_t Start(const std::vector<std::string>& argv, const std::string& preload = "");
Outcome Finish(pid_t pid);

// Start and Finish in one.
Outcome Run(const std::vector<std::string>& argv, const std::string& preload = "");

double Median(std::vector<double> values);

#endif
