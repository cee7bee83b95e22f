// A fuzzed argument vector through parsing, option handlers and dispatch,
// against the default board, with the prompts reading end of input.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "InProcessRun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Arguments are separated by NUL bytes; at most 12 of them.
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size && args.size() <= 12; i++) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += (char)data[i];
    }
    // A user may ask for a 4 GiB output area; a fuzzer doing so on every run only
    // measures how fast zeros are dumped.
    for (const std::string& a : args)
        if (a.size() > 6 && (a[0] == '/' || a[0] == '-') && strncmp(a.c_str() + 1, "olen:", 5) == 0 &&
            (uint32_t)strtoul(a.c_str() + 6, nullptr, 10) > (1u << 20))
            return 0;
    // A fuzzed lock file would be created wherever it names, as whoever runs the fuzzer.
    for (const std::string& a : args)
        if (a.compare(0, 11, "--lock-file") == 0)
            return 0;
    RunToolInProcess(args, nullptr, 0, FreshDefaultBoard());
    return 0;
}
