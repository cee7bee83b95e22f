// PrintData's throughput in MB/s of input, full and bare forms, beside its
// yardsticks measured in the same run: a formatted print per byte (what the dump
// would cost done naively) and a memory copy of the same bytes (the ceiling).
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "PrintData.h"
#include "ProgramState.h"

namespace {

const size_t kBytes = 4 << 20;

const std::vector<uint8_t>& Input()
{
    static std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v(kBytes);
        uint64_t x = 88172645463325252ull;
        for (uint8_t& b : v) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            b = (uint8_t)x;
        }
        return v;
    }();
    return data;
}

// Output goes to /dev/null, as in the whole-process comparison.
struct NullStdout {
    FILE* saved = stdout;
    NullStdout() { stdout = fopen("/dev/null", "w"); }
    ~NullStdout()
    {
        fclose(stdout);
        stdout = saved;
    }
};

void BM_PrintDataFull(benchmark::State& state)
{
    NullStdout null;
    gSilentMode = false;
    for (auto _ : state)
        PrintData(Input().data(), (uint32_t)kBytes);
    state.SetBytesProcessed((int64_t)(state.iterations() * kBytes));
}

void BM_PrintDataBare(benchmark::State& state)
{
    NullStdout null;
    gSilentMode = true;
    for (auto _ : state)
        PrintData(Input().data(), (uint32_t)kBytes);
    gSilentMode = false;
    state.SetBytesProcessed((int64_t)(state.iterations() * kBytes));
}

// The full form written with one formatted print per byte.
void BM_YardstickPrintfPerByte(benchmark::State& state)
{
    NullStdout null;
    const uint8_t* d = Input().data();
    for (auto _ : state) {
        for (size_t r = 0; r < kBytes; r += 16) {
            printf("  %08X:", (unsigned)r);
            for (size_t j = 0; j < 16; j++)
                printf(j == 8 ? "-%02hhX" : " %02hhX", d[r + j]);
            printf("  *");
            for (size_t j = 0; j < 16; j++)
                printf("%c", d[r + j] >= 0x20 && d[r + j] <= 0x7E ? d[r + j] : '.');
            printf("*\n");
        }
    }
    state.SetBytesProcessed((int64_t)(state.iterations() * kBytes));
}

void BM_YardstickMemcpy(benchmark::State& state)
{
    std::vector<uint8_t> out(kBytes);
    for (auto _ : state) {
        memcpy(out.data(), Input().data(), kBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)(state.iterations() * kBytes));
}

BENCHMARK(BM_PrintDataFull)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PrintDataBare)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_YardstickPrintfPerByte)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_YardstickMemcpy)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps each benchmark's throughput to print the ratios after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> bytesPerSecond;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            bytesPerSecond[r.run_name.function_name] = r.counters.at("bytes_per_second");
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& b = reporter.bytesPerSecond;
    if (b.count("BM_PrintDataFull") && b.count("BM_YardstickPrintfPerByte") && b.count("BM_YardstickMemcpy")) {
        double full = b["BM_PrintDataFull"], bare = b["BM_PrintDataBare"];
        printf("\nPrintData full form: %.0f MB/s = %.1f x printf per byte, %.3f x memcpy\n", full / 1e6,
               full / b["BM_YardstickPrintfPerByte"], full / b["BM_YardstickMemcpy"]);
        printf("PrintData bare form: %.0f MB/s = %.2f x the full form\n", bare / 1e6, bare / full);
    }
    return 0;
}
