#include "InProcessRun.h"

#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include "CmdTable.h"
#include "ExitStatus.h"
#include "InProcessChannel.h"
#include "CommandLine.h"
#include "OutputStyle.h"
#include "ProgramState.h"

// The watchdog test sleeps ten seconds; here its time passes at once.
extern "C" unsigned int sleep(unsigned int) { return 0; }

int RunToolInProcess(const std::vector<std::string>& args, const uint8_t* input, size_t inputLen,
                     BoardModel* board, std::string* output)
{
    static FILE* devNull = fopen("/dev/null", "w");
    FILE* out = output != nullptr ? tmpfile() : devNull;
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv;
    storage.push_back({'V', 'e', 'm', 'i', 'C', 'm', 'd', '\0'});
    for (const std::string& a : args) {
        storage.emplace_back(a.begin(), a.end());
        storage.back().push_back('\0');
    }
    for (auto& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    // fmemopen cannot open an empty buffer for reading; an empty file reads as end of input.
    static const char kEmpty[1] = {0};
    FILE* in = fmemopen(inputLen ? (void*)input : (void*)kEmpty, inputLen ? inputLen : 1, "r");
    if (inputLen == 0)
        fgetc(in);
    FILE* savedIn = stdin;
    FILE* savedOut = stdout;
    stdin = in;
    stdout = out;

    ResetProgramState();
    static char lock[64];
    snprintf(lock, sizeof(lock), "/tmp/vemi-inprocess-%d.lock", (int)getpid());
    gWatchdogLockPath = lock; // this process's own, not the machine's
    SimChannelAttach(board);
    int status = ExitStatusOf((uint32_t)VemiMain((int)(argv.size() - 1), argv.data()));
    unlink(lock);
    fflush(stdout);
    clearerr(stdout);
    if (output != nullptr) {
        output->clear();
        rewind(out);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), out)) > 0)
            output->append(buf, n);
        fclose(out);
    }

    stdin = savedIn;
    stdout = savedOut;
    fclose(in);
    ResetProgramState();
    return status;
}

BoardModel* FreshDefaultBoard()
{
    static BoardConfig config = DefaultBoard();
    static BoardModel model;
    BoardInit(&model, config);
    return &model;
}

int RunOnBoard(const std::string& json, const std::vector<std::string>& args, const std::string& input,
               std::string* output)
{
    BoardConfig config;
    std::string error;
    if (!ParseBoardText(json, &config, &error))
        return -1;
    BoardModel model;
    BoardInit(&model, config);
    return RunToolInProcess(args, (const uint8_t*)input.data(), input.size(), &model, output);
}
