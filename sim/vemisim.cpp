// vemisim: runs a command with the simulated board preloaded, so that VemiCmd (or a
// script that calls it) finds /dev/vemix without the real driver.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "BoardConfig.h"
#include "ExecutablePath.h"
#include "RunCommand.h"

namespace fs = std::filesystem;

#define VEMI_DEVICE "/dev/vemix"

namespace {

const char kUsage[] =
    "usage: vemisim [--board FILE|NAME] [--trace FILE [--trace-times]] [--fast-clock]\n"
    "               [--record FILE | --replay FILE] -- COMMAND [ARGS...]\n"
    "       vemisim --list-boards\n"
    "\n"
    "  --board FILE|NAME  board file, or the name of a board of the library\n"
    "                     (default: the built-in default board)\n"
    "  --trace FILE       write one line per request to FILE\n"
    "  --trace-times      begin each trace line with the board's clock in milliseconds\n"
    "  --fast-clock       sleeps of COMMAND pass at once; the board still sees the time pass\n"
    "  --record FILE      let every request through to the real device and record it\n"
    "                     into FILE (with --board, the board stands in for the device)\n"
    "  --replay FILE      answer from a recording made with --record\n"
    "  --list-boards      name the boards of the library\n";

int Usage(const char* problem)
{
    if (problem != nullptr)
        fprintf(stderr, "vemisim: %s\n", problem);
    fputs(kUsage, stderr);
    return 2;
}

fs::path OwnDirectory()
{
    std::string self = ExecutablePath();
    return self.empty() ? fs::current_path() : fs::path(self).parent_path();
}

// Built: beside this program. Installed: in the folders the build named. So are the
// preload library and the board library.
fs::path FindPreload(const fs::path& dir)
{
    for (fs::path p : {dir / VEMISIM_PRELOAD_NAME, dir / VEMISIM_INSTALL_PRELOAD_REL}) {
        std::error_code ec;
        if (fs::exists(p, ec))
            return fs::weakly_canonical(p, ec);
    }
    return fs::path();
}

fs::path FindBoardLibrary(const fs::path& dir)
{
    for (fs::path p : {dir / "boards", dir / VEMISIM_INSTALL_BOARDS_REL}) {
        std::error_code ec;
        if (fs::is_directory(p, ec))
            return fs::weakly_canonical(p, ec);
    }
    return dir / VEMISIM_INSTALL_BOARDS_REL; // named in the message that it is missing
}

int ListBoards(const fs::path& library)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(library, ec))
        if (entry.path().extension() == ".json")
            files.push_back(entry.path());
    if (ec) {
        fprintf(stderr, "vemisim: %s: %s\n", library.c_str(), ec.message().c_str());
        return 1;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        BoardConfig board;
        std::string error;
        if (!LoadBoardFile(f, &board, &error)) {
            fprintf(stderr, "vemisim: %s: %s\n", f.c_str(), error.c_str());
            return 1;
        }
        printf("%-20s %s\n", f.stem().c_str(), board.description.c_str());
    }
    return 0;
}

// A board argument is a path when it names a file; otherwise a name from the
// library. Empty, with a message, when it is neither.
fs::path ResolveBoard(const std::string& arg, const fs::path& library)
{
    std::error_code ec;
    if (arg.find('/') != std::string::npos || fs::exists(arg, ec))
        return fs::absolute(arg, ec);
    fs::path named = library / (arg + ".json");
    if (fs::exists(named, ec))
        return named;
    fprintf(stderr, "vemisim: %s: no such board file, nor a board of the library "
                    "(vemisim --list-boards names them)\n", arg.c_str());
    return fs::path();
}

// Recording from the real device needs it now, not after the command has run.
bool CanRecordFromDevice()
{
    int fd = open(VEMI_DEVICE, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        fprintf(stderr, "vemisim: cannot record: %s: %s (on a machine without the driver, "
                        "--board names a board to record instead)\n", VEMI_DEVICE, strerror(errno));
        return false;
    }
    close(fd);
    return true;
}

// Messages name the file as it was given. `*recorded`: the recording's length.
bool CheckBoard(const fs::path& path, const std::string& given, bool needRecording, uint32_t* recorded)
{
    BoardConfig board;
    std::string error;
    if (!LoadBoardFile(path, &board, &error)) {
        fprintf(stderr, "vemisim: %s: %s\n", given.c_str(), error.c_str());
        return false;
    }
    if (needRecording && !board.replay) {
        fprintf(stderr, "vemisim: %s: holds no recording to replay\n", given.c_str());
        return false;
    }
    *recorded = (uint32_t)board.recording.size();
    return true;
}

// A path for the run's own watchdog lock, in `dir`, that no one has yet: the first
// program that takes the lock creates the file (mode 0600), and removes it when done.
std::string RunLockPath(const char* dir)
{
    std::string path = std::string(dir) + "/vemisim-lock-XXXXXX";
    int fd = mkstemp(&path[0]);
    if (fd < 0)
        return "";
    close(fd);
    unlink(path.c_str());
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    std::string board, trace, record, replay;
    bool fastClock = false, traceTimes = false;
    int i = 1;
    fs::path dir = OwnDirectory();
    fs::path library = FindBoardLibrary(dir);
    for (; i < argc; i++) {
        std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        if (a == "--") {
            i++;
            break;
        } else if (a == "--board") {
            if (!value(&board)) return Usage("--board needs a file or a name");
        } else if (a == "--trace") {
            if (!value(&trace)) return Usage("--trace needs a file");
        } else if (a == "--record") {
            if (!value(&record)) return Usage("--record needs a file");
        } else if (a == "--replay") {
            if (!value(&replay)) return Usage("--replay needs a file");
        } else if (a == "--fast-clock") {
            fastClock = true;
        } else if (a == "--trace-times") {
            traceTimes = true;
        } else if (a == "--list-boards") {
            return ListBoards(library);
        } else if (a == "--help" || a == "-h") {
            fputs(kUsage, stdout);
            return 0;
        } else if (a[0] != '-') {
            return Usage(("'" + a + "' is no option: the command to run comes after --, as in vemisim -- " + a +
                          " ...").c_str());
        } else {
            return Usage(("unknown option " + a).c_str());
        }
    }
    if (i >= argc)
        return Usage("no command to run");
    if (!record.empty() && !replay.empty())
        return Usage("--record and --replay exclude each other");
    if (traceTimes && trace.empty())
        return Usage("--trace-times needs --trace");
    if (!board.empty() && !replay.empty())
        return Usage("--board and --replay exclude each other");

    std::error_code ec;
    fs::path boardPath;
    uint32_t recorded = 0;
    if (!replay.empty()) {
        boardPath = fs::absolute(replay, ec);
        if (!CheckBoard(boardPath, replay, true, &recorded))
            return 2;
    } else if (!board.empty()) {
        boardPath = ResolveBoard(board, library);
        if (boardPath.empty() || !CheckBoard(boardPath, board, false, &recorded))
            return 2;
    }
    fs::path recordPath = record.empty() ? fs::path() : fs::absolute(record, ec);
    if (!record.empty()) {
        // Whatever the file held is replaced: after the run it is this run's recording or absent.
        fs::remove(recordPath, ec);
        if (boardPath.empty() && !CanRecordFromDevice())
            return 2;
    }
    fs::path preload = FindPreload(dir);
    if (preload.empty()) {
        fprintf(stderr, "vemisim: cannot find %s beside %s\n", VEMISIM_PRELOAD_NAME, dir.c_str());
        return 2;
    }

    int traceFd = -1;
    if (!trace.empty()) {
        traceFd = open(trace.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
        if (traceFd < 0) {
            fprintf(stderr, "vemisim: %s: %s\n", trace.c_str(), strerror(errno));
            return 2;
        }
        fcntl(traceFd, F_SETFL, O_APPEND | O_NONBLOCK); // vemisim's own: a trace that blocks waits, no request does
        setenv("VEMISIM_TRACE", fs::absolute(trace, ec).c_str(), 1);
    } else {
        unsetenv("VEMISIM_TRACE");
    }
    if (traceTimes)
        setenv("VEMISIM_TRACE_TIMES", "1", 1);
    else
        unsetenv("VEMISIM_TRACE_TIMES");
    if (!boardPath.empty())
        setenv("VEMISIM_BOARD", boardPath.c_str(), 1);
    else
        unsetenv("VEMISIM_BOARD");
    if (!record.empty())
        setenv("VEMISIM_RECORD", recordPath.c_str(), 1);
    else
        unsetenv("VEMISIM_RECORD");
    if (fastClock)
        setenv("VEMISIM_FAST_CLOCK", "1", 1);
    else
        unsetenv("VEMISIM_FAST_CLOCK");
    std::string preloads = preload.string();
    if (const char* old = getenv("LD_PRELOAD"); old != nullptr && *old != '\0')
        preloads += std::string(":") + old;
    setenv("LD_PRELOAD", preloads.c_str(), 1);

    // The board all the command's processes share, which outlives each of them,
    // with the run's journal of requests and its own watchdog lock.
    const char* tmp = getenv("TMPDIR");
    tmp = tmp != nullptr && *tmp ? tmp : "/tmp";
    int sharedFd = -1, journalFd = -1;
    SharedBoard* shared = CreateSharedBoard(tmp, &sharedFd, recorded);
    if (shared != nullptr)
        setenv("VEMISIM_SHARED", SharedBoardReference(sharedFd).c_str(), 1);
    else
        unsetenv("VEMISIM_SHARED");
    if (!record.empty() && CreateRunFile(tmp, &journalFd))
        setenv("VEMISIM_JOURNAL", SharedBoardReference(journalFd).c_str(), 1);
    else
        unsetenv("VEMISIM_JOURNAL");
    std::string lock = RunLockPath(tmp);
    if (!lock.empty())
        setenv("VEMISIM_LOCK", lock.c_str(), 1);
    RunOutcome outcome = RunCommand(argv + i, shared, traceFd);
    if (!record.empty() && !fs::exists(recordPath, ec))
        fprintf(stderr, "vemisim: %s not written: %s made no request\n", record.c_str(), argv[i]);
    if (outcome.restarted) {
        fprintf(stderr, "vemisim: the watchdog restarted the board; every process on it was ended\n");
        return VEMISIM_EXIT_RESTART;
    }
    EndAs(outcome.waitStatus);
}
