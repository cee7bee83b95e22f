#include "RunTool.h"

#include <fcntl.h>
#include <grp.h>
#ifdef __FreeBSD__
#include <libutil.h>
#else
#include <pty.h>
#endif
#include <poll.h>
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

#include <algorithm>
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
// to `result`, its pid to `pidFile`. A stopped job is reported and killed.
[[noreturn]] void Launch(const std::vector<std::string>& argv, const RunOptions& o, int slave,
                         const std::string& result, const std::string& pidFile)
{
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    if (o.tostop) {
        struct termios t;
        tcgetattr(slave, &t);
        t.c_lflag |= TOSTOP;
        tcsetattr(slave, TCSANOW, &t);
    }
    if (o.job == Job::kLeader)
        Exec(argv);
    pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        if (o.job == Job::kForeground || o.job == Job::kShellBackground) {
            signal(SIGTTOU, SIG_IGN);
            tcsetpgrp(slave, getpid());
            signal(SIGTTOU, SIG_DFL);
        }
        Exec(argv);
    }
    setpgid(job, job);
    WriteFile(pidFile, std::to_string(job));
    int status = 0;
    waitpid(job, &status, WUNTRACED);
    if (WIFSTOPPED(status) && o.job == Job::kShellBackground) {
        signal(SIGTTOU, SIG_IGN); // the shell takes the terminal back, with its own modes
        tcsetpgrp(slave, getpgrp());
        struct termios t;
        tcgetattr(slave, &t);
        t.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        tcsetattr(slave, TCSANOW, &t);
        kill(-job, SIGCONT); // bg
        waitpid(job, &status, 0);
    }
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

// Fills a pipe until it takes no more; its descriptor is left blocking, as a
// program finds a pipe. How many bytes went in.
size_t Fill(int fd)
{
    fcntl(fd, F_SETFL, O_NONBLOCK);
    static const char zeros[4096] = {};
    size_t filled = 0;
    for (ssize_t n; (n = write(fd, zeros, sizeof(zeros))) > 0;)
        filled += (size_t)n;
    fcntl(fd, F_SETFL, 0);
    return filled;
}

std::vector<Step> StepsOf(const RunOptions& o)
{
    std::vector<Step> steps = o.steps;
    if (!o.typed.empty()) {
        Step type;
        type.when = o.when;
        type.text = o.typed;
        steps.push_back(type);
    }
    if (o.signal != 0) {
        Step sig;
        sig.when = o.when;
        sig.action = Step::kSignal;
        sig.signal = o.signal;
        steps.push_back(sig);
    }
    return steps;
}

// Until the program writes, or a while. Not a quick poll: eight runs at once, each
// waking every few milliseconds beside busy processes, kept the programs they ran
// from being scheduled for seconds at a time.
void AwaitOutput(int master, int out)
{
    struct pollfd fds[2];
    int n = 0;
    for (int fd : {master, out})
        if (fd >= 0)
            fds[n++] = {fd, POLLIN, 0};
    if (poll(fds, (nfds_t)n, 20) > 0 && std::none_of(fds, fds + n, [](const pollfd& p) { return p.revents == POLLIN; }))
        usleep(20000); // an end hung up, which poll would answer at once: nothing to wait on
}

RunResult Run(const std::vector<std::string>& command, const RunOptions& o, const std::string& dir)
{
    std::vector<std::string> argv = command;
    if (o.wrapped)
        argv.insert(argv.begin(), {"/bin/sh", "-c", "\"$@\"; status=$?; exit $status", "sh"});
    std::string err = dir + "/stderr", jobFile = dir + "/job", jobPidFile = dir + "/job.pid";
    bool onTerminal = o.job != Job::kNoTerminal;
    int master = -1, slave = -1, in[2], out[2], gone[2];
    if ((onTerminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) || pipe(in) != 0 ||
        pipe(out) != 0 || pipe(gone) != 0)
        return RunResult();
    size_t filled = o.output == Output::kFullPipe ? Fill(out[1]) : 0;
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
        bool piped = o.output == Output::kCapture || o.output == Output::kFullPipe;
        dup2(onTerminal ? slave : in[0], 0);
        dup2(o.output == Output::kTerminal ? slave : piped ? out[1] : gone[1], 1);
        dup2(onTerminal && o.errToTerminal ? slave : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        for (int fd : {in[0], in[1], out[0], out[1], gone[1], master})
            if (fd >= 0)
                close(fd);
        if (o.output == Output::kClosed)
            close(1);
        if (onTerminal)
            Launch(argv, o, slave, jobFile, jobPidFile);
        setpgid(0, 0); // a group of its own, which a run that times out is killed with
        Exec(argv);
    }
    for (int fd : {in[0], out[1], gone[1]})
        close(fd);
    if (o.job == Job::kLeader)
        close(slave), slave = -1; // the program alone holds the terminal: closing the master hangs it up
    if (write(in[1], o.input.data(), o.input.size()) != (ssize_t)o.input.size()) { /* fails below */ }
    std::vector<Step> steps = StepsOf(o);
    bool typesToInput = !onTerminal && std::any_of(steps.begin(), steps.end(), [](const Step& s) {
        return s.action == Step::kType;
    });
    if (!typesToInput)
        close(in[1]), in[1] = -1;
    long long start = NowMs(), last = start;
    size_t next = 0;
    int status = 0;
    std::string captured, terminalOut;
    RunResult r;
    r.acted = steps.empty();
    for (;;) {
        Drain(master, &terminalOut);
        long long t = NowMs() - start;
        if (o.output != Output::kFullPipe || t >= o.readAfterMs)
            Drain(out[0], &captured);
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        if (next < steps.size()) {
            const Step& step = steps[next];
            bool shown = step.when.empty() ||
                         (terminalOut + captured + ReadFile(err)).find(step.when) != std::string::npos;
            if (shown && !step.when.empty() && step.afterMs == 0)
                last = NowMs(); // the time counts from the text showing
            if (shown && NowMs() - last >= step.afterMs) {
                std::string text = ControlText(step.text);
                pid_t target = onTerminal && o.job != Job::kLeader ? atoi(ReadFile(jobPidFile).c_str()) : pid;
                if (step.action == Step::kSignal && target > 0)
                    kill(target, step.signal);
                if (step.action == Step::kHangup)
                    close(master), master = -1;
                if (step.action == Step::kShell && system(("cd '" + dir + "' && " + step.text).c_str()) != 0) {
                    /* the case's expectations tell */
                }
                int to = onTerminal ? master : in[1];
                if (step.action == Step::kType && to >= 0 &&
                    write(to, text.data(), text.size()) != (ssize_t)text.size()) { /* the run times out */
                }
                if (step.action == Step::kType && !onTerminal)
                    close(in[1]), in[1] = -1;
                last = NowMs();
                r.acted = ++next == steps.size();
            }
        }
        if (t > o.timeoutMs) { // every process the run left, not just the one it started
            pid_t job = onTerminal ? atoi(ReadFile(jobPidFile).c_str()) : 0;
            if (job > 0)
                kill(-job, SIGKILL);
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
        }
        AwaitOutput(master, o.output != Output::kFullPipe || t >= o.readAfterMs ? out[0] : -1);
    }
    Drain(master, &terminalOut);
    Drain(out[0], &captured);
    for (int fd : {in[1], out[0]})
        if (fd >= 0)
            close(fd);
    if (slave >= 0) {
        struct termios t;
        bool shellModes = o.job == Job::kShellBackground; // as the shell left them
        r.terminalSane = tcgetattr(slave, &t) == 0 &&
                         (shellModes ? !(t.c_lflag & (ICANON | ECHO)) && t.c_cc[VMIN] == 1
                                     : (t.c_lflag & ICANON) && (t.c_lflag & ECHO));
        ioctl(slave, FIONREAD, &r.unreadInput);
        close(slave);
    }
    if (master >= 0)
        close(master);
    r.out = o.output == Output::kTerminal ? FromTerminal(terminalOut) : captured.substr(std::min(filled, captured.size()));
    r.err = ReadFile(err);
    if (onTerminal && o.job != Job::kLeader)
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

#ifdef VEMI_SANITIZED_BUILD
// The sanitizer runtime wants to be first among the libraries; vemisim's preload
// comes before it. Set for every program a run starts.
static const bool kSanitizerSettings = [] {
    setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=1", 1);
    setenv("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1", 1);
    return true;
}();
#endif

bool ProgramsReachableAs(unsigned uid)
{
    std::string sim = VemisimPath();
    std::string preload = sim.substr(0, sim.rfind('/')) + "/libvemisim-preload.so";
    pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)
            _exit(1);
        bool reached = access(VemiCmdPath().c_str(), X_OK) == 0 && access(VemidPath().c_str(), X_OK) == 0 &&
                       access(preload.c_str(), R_OK) == 0;
        _exit(reached ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool WaitingTestsSkipped()
{
#ifdef VEMI_SANITIZED_BUILD
    return true;
#else
    return false;
#endif
}

std::string VemiCmdPath() { return VEMI_TEST_VEMICMD; }
std::string VemidPath() { return VEMI_TEST_VEMID; }

std::string ControlText(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '^' && i + 1 < text.size()) {
            out += (char)(text[++i] & 0x1F);
        } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            i++;
        } else {
            out += text[i];
        }
    }
    return out;
}
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
    argv.push_back("--lock-file=vemid.pid"); // each run a machine of its own, as to who holds the watchdog
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
    r.trace = ReadFile(dir + "/trace"); // where a case's --trace trace writes
    for (const std::string& name : o.collect)
        if (access((dir + "/" + name).c_str(), F_OK) == 0)
            r.files[name] = ReadFile(dir + "/" + name);
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
