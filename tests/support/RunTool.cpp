#include "RunTool.h"

#include <fcntl.h>
#ifdef __FreeBSD__
#include <libutil.h>
#else
#include <pty.h>
#endif
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
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

[[noreturn]] void Exec(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back((char*)a.c_str());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

// The session leader for a job on the terminal: runs argv in a process group of
// its own, in the foreground or the background, and writes how it ended to
// `result`. A stopped job is reported and killed.
[[noreturn]] void Launch(const std::vector<std::string>& argv, const RunOptions& o, int slave,
                         const std::string& result)
{
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    if (o.tostop) {
        struct termios t;
        tcgetattr(slave, &t);
        t.c_lflag |= TOSTOP;
        tcsetattr(slave, TCSANOW, &t);
    }
    pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        if (o.job == Job::kForeground) {
            signal(SIGTTOU, SIG_IGN);
            tcsetpgrp(slave, getpid());
            signal(SIGTTOU, SIG_DFL);
        }
        Exec(argv);
    }
    setpgid(job, job);
    int status = 0;
    waitpid(job, &status, WUNTRACED);
    char line[32];
    if (WIFSTOPPED(status)) {
        snprintf(line, sizeof(line), "stopped");
        kill(-job, SIGKILL);
        waitpid(job, &status, 0);
    } else if (WIFSIGNALED(status)) {
        snprintf(line, sizeof(line), "signal %d", WTERMSIG(status));
    } else {
        snprintf(line, sizeof(line), "exit %d", WEXITSTATUS(status));
    }
    WriteFile(result, line);
    _exit(0);
}

void Drain(int fd, std::string* into)
{
    char buf[4096];
    ssize_t n;
    while (fd >= 0 && (n = read(fd, buf, sizeof(buf))) > 0)
        into->append(buf, (size_t)n);
}

// The terminal turns each line end into CR LF.
std::string FromTerminal(std::string s)
{
    for (size_t at; (at = s.find("\r\n")) != std::string::npos;)
        s.erase(at, 1);
    return s;
}

RunResult Run(const std::vector<std::string>& argv, const RunOptions& o, const std::string& dir)
{
    std::string in = dir + "/stdin", out = dir + "/stdout", err = dir + "/stderr", jobFile = dir + "/job";
    WriteFile(in, o.input);
    bool onTerminal = o.job != Job::kNoTerminal;
    int master = -1, slave = -1, gone[2] = {-1, -1};
    if (onTerminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return RunResult();
    if (master >= 0)
        fcntl(master, F_SETFL, O_NONBLOCK);
    if (o.output == Output::kGoneReader) {
        if (pipe(gone) != 0)
            return RunResult();
        close(gone[0]); // gone before the tool starts, however the processes are scheduled
    }
    pid_t pid = fork();
    if (pid == 0) {
        struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore); // the fault signals' tests leave no core files
        int i = onTerminal ? slave : open(in.c_str(), O_RDONLY);
        int o1 = o.output == Output::kTerminal ? slave
                 : o.output == Output::kGoneReader ? gone[1]
                 : open(o.output == Output::kPath ? o.stdoutPath.c_str() : out.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(i, 0);
        dup2(o1, 1);
        dup2(e, 2);
        if (o.output == Output::kClosed)
            close(1);
        if (onTerminal)
            Launch(argv, o, slave, jobFile);
        Exec(argv);
    }
    if (gone[1] >= 0)
        close(gone[1]);
    long long start = NowMs();
    bool acted = o.signal == 0 && o.typed.empty();
    int status = 0;
    std::string terminalOut;
    for (;;) {
        Drain(master, &terminalOut);
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            break;
        long long t = NowMs() - start;
        if (!acted && (o.output == Output::kTerminal ? terminalOut : ReadFile(out)).find(o.when) != std::string::npos) {
            if (o.signal != 0)
                kill(pid, o.signal);
            if (!o.typed.empty() && write(master, o.typed.data(), o.typed.size()) != (ssize_t)o.typed.size()) {
                /* the run times out */
            }
            acted = true;
        }
        if (t > 60000)
            kill(pid, SIGKILL);
        usleep(2000);
    }
    Drain(master, &terminalOut);
    RunResult r;
    if (slave >= 0) {
        struct termios t;
        r.terminalSane = tcgetattr(slave, &t) == 0 && (t.c_lflag & ICANON) && (t.c_lflag & ECHO);
        ioctl(slave, FIONREAD, &r.unreadInput);
        close(slave);
        close(master);
    }
    r.out = o.output == Output::kCapture ? ReadFile(out) : o.output == Output::kTerminal ? FromTerminal(terminalOut) : "";
    r.err = ReadFile(err);
    if (onTerminal) { // how the launcher saw the job end
        std::string job = ReadFile(jobFile);
        r.stopped = job == "stopped";
        if (job.rfind("signal ", 0) == 0)
            r.signal = atoi(job.c_str() + 7);
        else if (job.rfind("exit ", 0) == 0)
            r.exitStatus = atoi(job.c_str() + 5);
    } else if (WIFSIGNALED(status)) {
        r.signal = WTERMSIG(status);
    } else {
        r.exitStatus = WEXITSTATUS(status);
    }
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
