// The direct call's prompts on fuzzed standard input; the first byte picks which
// values the command line already gave.
#include <stdio.h>

#include <string>
#include <vector>

#include "InProcessRun.h"

// The output length the prompts will read, found by reading the input the same way.
// A user may ask for 4 GiB; a fuzzer that does so on every run only measures memset.
static unsigned PromptedOutputLength(uint8_t given, const uint8_t* data, size_t size)
{
    FILE* in = fmemopen((void*)data, size, "r");
    unsigned value = 0, len = 0;
    char word[256];
    if (!(given & 1) && fscanf(in, "%x", &value) != 1) { }
    if (!(given & 2) && fscanf(in, "%x", &value) != 1) { }
    if (!(given & 4) && fscanf(in, "%255s", word) != 1) { }
    if (fscanf(in, "%u", &len) != 1) { }
    fclose(in);
    return len;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    uint8_t given = data[0];
    if (!(given & 8) && PromptedOutputLength(given, data + 1, size - 1) > (1u << 20))
        return 0;
    std::vector<std::string> args;
    if (given & 1) args.push_back("/ig:7000");
    if (given & 2) args.push_back("/io:0");
    if (given & 4) args.push_back("/ibuf:B:1,2");
    if (given & 8) args.push_back("/olen:40");
    if (given & 16) args.push_back("/s");
    RunToolInProcess(args, data + 1, size - 1, FreshDefaultBoard());
    return 0;
}
