// Whole-process figures, each beside its yardstick from the same run:
//  - a 64 MiB direct call under the simulated board (full and /s forms) against
//    xxd and hexdump -C on the same bytes from a file, all to /dev/null, runs
//    alternating, medians;
//  - peak memory of that direct call;
//  - start-up instructions of VemiCmd /ver (callgrind) against a C program doing the
//    same job (the same two requests, the same lines), both beside the same device
//    stub, and both without a device (each then prints its open failure); and
//    VemiCmd --json /ver beside the stub.
// Usage: process_bench VEMISIM VEMICMD TINY_DEVICE_SO VER_IN_C [RUNS]
#include <sys/stat.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <string>
#include <vector>

#include "BoardModel.h"
#include "ProcessRun.h"

namespace {

const uint64_t kSize = 64ull << 20;
const uint64_t kSeed = 7;

long long CallgrindInstructions(const std::vector<std::string>& argv, const std::string& preload)
{
    std::vector<std::string> cmd = {"valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"};
    cmd.insert(cmd.end(), argv.begin(), argv.end());
    Outcome o = Run(cmd, preload);
    size_t at = o.err.find("Collected : ");
    return at == std::string::npos ? -1 : atoll(o.err.c_str() + at + 12);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: process_bench VEMISIM VEMICMD TINY_DEVICE_SO VER_IN_C [RUNS]\n");
        return 2;
    }
    std::string vemisim = argv[1], vemicmd = argv[2], tiny = argv[3], verInC = argv[4];
    int runs = argc > 5 ? atoi(argv[5]) : 5;

    // The same 64 MiB of random bytes: as a file for xxd and hexdump, as a raw service for the board.
    std::string dir = "/tmp/process-bench";
    mkdir(dir.c_str(), 0755);
    std::string data = dir + "/random.bin", board = dir + "/board.json";
    {
        RawServiceDef raw;
        raw.pattern = RawServiceDef::kRandom;
        raw.seed = kSeed;
        std::vector<uint8_t> bytes(kSize);
        FillPattern(raw, 0, bytes.data(), bytes.size());
        std::ofstream(data, std::ios::binary).write((const char*)bytes.data(), (std::streamsize)bytes.size());
        std::ofstream(board) << "{\"raw\": [{\"group\": \"0xB000\", \"offset\": 0, \"size\": " << kSize
                             << ", \"pattern\": \"random\", \"seed\": " << kSeed << "}]}";
    }
    std::string olen = "/olen:" + std::to_string(kSize);
    std::vector<std::string> full = {vemisim, "--board", board, "--", vemicmd, "/ig:B000", "/io:0", "/ibuf:X", olen};
    std::vector<std::string> bare = full;
    bare.push_back("/s");
    struct Contender {
        const char* name;
        std::vector<std::string> argv;
        std::vector<double> times;
        long maxRss = 0;
    } contenders[] = {
        {"VemiCmd direct call, full form", full, {}, 0},
        {"VemiCmd direct call, /s form", bare, {}, 0},
        {"xxd", {"xxd", data}, {}, 0},
        {"hexdump -C", {"hexdump", "-C", data}, {}, 0},
    };
    for (int i = 0; i < runs; i++)
        for (Contender& c : contenders) {
            Outcome o = Run(c.argv);
            if (o.status != 0) {
                fprintf(stderr, "%s failed (%d): %s\n", c.name, o.status, o.err.c_str());
                return 1;
            }
            c.times.push_back(o.seconds);
            c.maxRss = std::max(c.maxRss, o.maxRssKiB);
        }

    double mb = (double)kSize / 1e6;
    double xxd = mb / Median(contenders[2].times), hexdump = mb / Median(contenders[3].times);
    printf("64 MiB hex dump to /dev/null, median of %d alternating runs:\n", runs);
    for (Contender& c : contenders) {
        double rate = mb / Median(c.times);
        printf("  %-32s %8.3f s %8.1f MB/s  %6.2f x xxd  %7.2f x hexdump -C\n", c.name, Median(c.times), rate,
               rate / xxd, rate / hexdump);
    }
    printf("\nPeak memory (max RSS) of the 64 MiB direct call: full form %.1f MiB, /s form %.1f MiB"
           " (the output area alone: 64.0 MiB)\n",
           contenders[0].maxRss / 1024.0, contenders[1].maxRss / 1024.0);

    long long toolStub = CallgrindInstructions({vemicmd, "/ver"}, tiny);
    long long cStub = CallgrindInstructions({verInC}, tiny);
    long long jsonStub = CallgrindInstructions({vemicmd, "--json", "/ver"}, tiny);
    long long toolAlone = CallgrindInstructions({vemicmd, "/ver"}, "");
    long long cAlone = CallgrindInstructions({verInC}, "");
    printf("\nStart-up, instructions (callgrind), VemiCmd /ver against C doing the same job:\n");
    printf("  beside a device stub: VemiCmd %lld, C %lld: %.3f x\n", toolStub, cStub,
           (double)toolStub / (double)cStub);
    printf("  without a device:     VemiCmd %lld, C %lld: %.3f x\n", toolAlone, cAlone,
           (double)toolAlone / (double)cAlone);
    printf("  --json /ver beside the stub: %lld, %.3f x the C program's text\n", jsonStub,
           (double)jsonStub / (double)cStub);
    return 0;
}
