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
// its own, in the foreground or the background, and writes the job's wait status
// to `result`. A stopped job is reported and killed.
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
    WriteFile(result, std::to_string(status));
    if (WIFSTOPPED(status))
        kill(-job, SIGKILL);
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
    std::string err = dir + "/stderr", jobFile = dir + "/job";
    bool onTerminal = o.job != Job::kNoTerminal;
    int master = -1, slave = -1, in[2], out[2], gone[2];
    if ((onTerminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) || pipe(in) != 0 ||
        pipe(out) != 0 || pipe(gone) != 0)
        return RunResult();
    for (int fd : {master, out[0]})
        if (fd >= 0)
            fcntl(fd, F_SETFL, O_NONBLOCK);
    close(gone[0]); // gone before the tool starts, however the processes are scheduled
    if (!o.boardJson.empty())
        WriteFile(dir + "/board.json", o.boardJson);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) // relative names in a case are the run's own files
            _exit(126);
        struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore); // the fault signals' tests leave no core files
        if (o.output == Output::kFailing)
            signal(SIGPIPE, SIG_IGN);
        dup2(onTerminal ? slave : in[0], 0);
        dup2(o.output == Output::kTerminal ? slave : o.output == Output::kCapture ? out[1] : gone[1], 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        for (int fd : {in[0], in[1], out[0], out[1], gone[1]})
            close(fd);
        if (o.output == Output::kClosed)
            close(1);
        if (onTerminal)
            Launch(argv, o, slave, jobFile);
        Exec(argv);
    }
    for (int fd : {in[0], out[1], gone[1]})
        close(fd);
    if (write(in[1], o.input.data(), o.input.size()) != (ssize_t)o.input.size()) { /* fails below */ }
    bool waiting = o.signal != 0 || !o.typed.empty(); // for `when`
    if (onTerminal || o.typed.empty())
        close(in[1]), in[1] = -1;
    long long start = NowMs();
    int status = 0;
    std::string captured, terminalOut;
    RunResult r;
    for (;;) {
        Drain(master, &terminalOut);
        Drain(out[0], &captured);
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        long long t = NowMs() - start;
        if (waiting && ((o.output == Output::kTerminal ? terminalOut : captured) + ReadFile(err)).find(o.when) !=
                           std::string::npos) {
            if (o.signal != 0)
                kill(pid, o.signal);
            int to = onTerminal ? master : in[1];
            if (!o.typed.empty() && write(to, o.typed.data(), o.typed.size()) != (ssize_t)o.typed.size()) {
                /* the run times out */
            }
            waiting = false;
            r.acted = true;
        }
        if (in[1] >= 0 && (r.acted || t > 3000))
            close(in[1]), in[1] = -1; // end of input: a tool waiting in vain for it goes on
        if (t > 60000)
            kill(pid, SIGKILL);
        usleep(2000);
    }
    Drain(master, &terminalOut);
    Drain(out[0], &captured);
    for (int fd : {in[1], out[0]})
        if (fd >= 0)
            close(fd);
    if (slave >= 0) {
        struct termios t;
        r.terminalSane = tcgetattr(slave, &t) == 0 && (t.c_lflag & ICANON) && (t.c_lflag & ECHO);
        ioctl(slave, FIONREAD, &r.unreadInput);
        close(slave);
        close(master);
    }
    r.out = o.output == Output::kTerminal ? FromTerminal(terminalOut) : captured;
    r.err = ReadFile(err);
    if (onTerminal)
        status = atoi(ReadFile(jobFile).c_str()); // how the launcher saw the job end
    r.stopped = WIFSTOPPED(status);
    if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    else if (WIFEXITED(status))
        r.exitStatus = WEXITSTATUS(status);
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
        if (line.rfind(prefix, 0) == 0)
            kept += line + "\n";
    return kept;
}
