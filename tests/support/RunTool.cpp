#include "RunTool.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

long long NowMs()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

RunResult Run(const std::vector<std::string>& argv, const RunOptions& o, const std::string& dir)
{
    std::string in = dir + "/stdin", out = dir + "/stdout", err = dir + "/stderr";
    WriteFile(in, o.input);
    int master = -1, slave = -1;
    if (o.keyAfterMs > 0 && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return RunResult();
    pid_t pid = fork();
    if (pid == 0) {
        int i = slave >= 0 ? slave : open(in.c_str(), O_RDONLY);
        int o1 = open(o.stdoutPath.empty() || o.stdoutPath == "-" ? out.c_str() : o.stdoutPath.c_str(),
                      O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (slave >= 0) {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
        }
        dup2(i, 0);
        dup2(o1, 1);
        dup2(e, 2);
        if (o.stdoutPath == "-")
            close(1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back((char*)a.c_str());
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    long long start = NowMs();
    bool signalled = false, keyed = false;
    int status = 0;
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            break;
        long long t = NowMs() - start;
        if (o.signalAfterMs > 0 && !signalled && t >= o.signalAfterMs) {
            kill(pid, o.signal);
            signalled = true;
        }
        if (o.keyAfterMs > 0 && !keyed && t >= o.keyAfterMs) {
            if (write(master, "k", 1) != 1) { /* the run will time out */ }
            keyed = true;
        }
        if (t > 60000)
            kill(pid, SIGKILL);
        usleep(2000);
    }
    RunResult r;
    if (slave >= 0) {
        struct termios t;
        r.terminalSane = tcgetattr(slave, &t) == 0 && (t.c_lflag & ICANON) && (t.c_lflag & ECHO);
        close(slave);
        close(master);
    }
    r.out = o.stdoutPath.empty() ? ReadFile(out) : "";
    r.err = ReadFile(err);
    if (WIFEXITED(status))
        r.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    return r;
}

std::string MakeDir()
{
    char tmpl[] = "/tmp/vemi-e2e-XXXXXX";
    return mkdtemp(tmpl);
}

void RemoveDir(const std::string& dir)
{
    std::string cmd = "rm -rf '" + dir + "'";
    if (system(cmd.c_str()) != 0) { /* a leftover temp folder is harmless */ }
}

std::vector<std::string> SimArgs(const RunOptions& o, const std::string& dir)
{
    std::vector<std::string> argv = {VemisimPath(), "--trace", dir + "/trace"};
    if (!o.boardJson.empty()) {
        WriteFile(dir + "/board.json", o.boardJson);
        argv.insert(argv.end(), {"--board", dir + "/board.json"});
    } else if (!o.board.empty()) {
        argv.insert(argv.end(), {"--board", o.board});
    }
    if (o.fastClock)
        argv.push_back("--fast-clock");
    argv.insert(argv.end(), o.simArgs.begin(), o.simArgs.end());
    return argv;
}

} // namespace

std::string VemiCmdPath() { return VEMI_TEST_VEMICMD; }
std::string VemisimPath() { return VEMI_TEST_VEMISIM; }
std::string LibraryBoardPath(const std::string& name) { return std::string(VEMI_TEST_BOARDS) + "/" + name + ".json"; }

RunResult RunVemiCmd(const std::vector<std::string>& args, const RunOptions& o)
{
    std::string dir = MakeDir();
    std::vector<std::string> argv;
    if (o.simulated) {
        argv = SimArgs(o, dir);
        argv.push_back("--");
    }
    argv.push_back(VemiCmdPath());
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = Run(argv, o, dir);
    r.trace = ReadFile(dir + "/trace");
    RemoveDir(dir);
    return r;
}

RunResult RunVemisim(const std::vector<std::string>& args, const RunOptions& o)
{
    std::string dir = MakeDir();
    std::vector<std::string> argv = {VemisimPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = Run(argv, o, dir);
    RemoveDir(dir);
    return r;
}

std::string TraceLines(const std::string& trace, const std::string& prefix)
{
    std::istringstream in(trace);
    std::string line, kept;
    while (std::getline(in, line))
        if (prefix.empty() ? line.rfind("event ", 0) != 0 : line.rfind(prefix, 0) == 0)
            kept += line + "\n";
    return kept;
}
