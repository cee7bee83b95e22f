// vemisim: runs a command with the simulated board preloaded, so that VemiCmd (or a
// script that calls it) finds /dev/vemix without the real driver.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <filesystem>
#include <string>
#include <vector>

#include "BoardConfig.h"
#include "ExecutablePath.h"
#include "Preloadable.h"
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

// The run's folder, made anew in TMPDIR (mode 0755, as /var/run is): the board's
// file and the node's stand-in, each this user's alone, and the stand-ins for the
// programs' machine-wide paths (the watchdog lock, vemid -n's pidfile, NUT's state
// folder), which the programs make there as on a machine. Empty, with a message,
// when TMPDIR does not take it: a run without its own lock would take the host's.
std::string MakeRunFolder(void)
{
    const char* tmp = getenv("TMPDIR");
    std::string folder = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/vemisim-XXXXXX";
    if (mkdtemp(&folder[0]) == nullptr || chmod(folder.c_str(), 0755) != 0 ||
        mkdir((folder + "/nut").c_str(), 0755) != 0) {
        fprintf(stderr, "vemisim: cannot make the run's folder in %s (TMPDIR): %s\n",
                tmp != nullptr && *tmp ? tmp : "/tmp", strerror(errno));
        return "";
    }
    return folder;
}

// The programs the run's processes were refused (the preloaded library notes each).
int Refusals(const std::string& run)
{
    std::ifstream notes(run + "/refused");
    int n = 0;
    for (std::string line; std::getline(notes, line);)
        n++;
    return n;
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
    // A command the board cannot be preloaded into would reach the real node.
    char program[PATH_MAX];
    if (FindProgram(argv[i], program, sizeof(program)))
        if (const char* why = WhyNotPreloadable(program)) {
            fprintf(stderr, "vemisim: %s is %s: the board cannot be preloaded into it, and it would reach the real %s; "
                            "not run\n", argv[i], why, VEMI_DEVICE);
            return 126;
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
    // the node's stand-in and the run's journal of requests, in the run's folder.
    std::string run = MakeRunFolder();
    if (run.empty())
        return 2;
    setenv("VEMISIM_RUN", run.c_str(), 1);
    int sharedFd = -1, nodeFd = -1, journalFd = -1;
    SharedBoard* shared = CreateSharedBoard(run.c_str(), &sharedFd, recorded);
    if (shared == nullptr || !CreateRunFile(run.c_str(), kRunNodeName, true, &nodeFd) ||
        (!record.empty() && !CreateRunFile(run.c_str(), kRunJournalName, false, &journalFd))) {
        fprintf(stderr, "vemisim: cannot make the run's board in %s: %s\n", run.c_str(), strerror(errno));
        fs::remove_all(run, ec);
        return 2;
    }
    setenv("VEMISIM_SHARED", SharedBoardReference(sharedFd).c_str(), 1);
    setenv("VEMISIM_NODE", SharedBoardReference(nodeFd).c_str(), 1);
    if (!record.empty())
        setenv("VEMISIM_JOURNAL", SharedBoardReference(journalFd).c_str(), 1);
    else
        unsetenv("VEMISIM_JOURNAL");
    RunOutcome outcome = RunCommand(argv + i, shared, traceFd, run.c_str());
    int refused = Refusals(run);
    fs::remove_all(run, ec);
    if (!record.empty() && !fs::exists(recordPath, ec))
        fprintf(stderr, "vemisim: %s not written: %s made no request\n", record.c_str(), argv[i]);
    if (outcome.restarted) {
        fprintf(stderr, "vemisim: the watchdog restarted the board; every process on it was ended\n");
        return VEMISIM_EXIT_RESTART;
    }
    if (refused > 0) {
        fprintf(stderr, "vemisim: %d program%s under the run could not have the board and %s not run (see above)\n",
                refused, refused == 1 ? "" : "s", refused == 1 ? "was" : "were");
        if (WIFEXITED(outcome.waitStatus) && WEXITSTATUS(outcome.waitStatus) == 0)
            return 126;
    }
    EndAs(outcome.waitStatus);
}
