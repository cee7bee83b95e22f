#include "HealthCheck.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Log.h"

extern char** environ;

namespace {

const int kLinesLoggedPerCheck = 20; // a check that floods its output is cut short in the log

// The check starts with every signal at its default and none blocked.
void PrepareAttributes(posix_spawnattr_t* attr)
{
    posix_spawnattr_init(attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL); // FreeBSD's posix_spawn fails on the two it cannot set
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigmask(attr, &none);
    posix_spawnattr_setsigdefault(attr, &all);
    posix_spawnattr_setpgroup(attr, 0);
    posix_spawnattr_setflags(attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

void LogLine(HealthCheck* c)
{
    c->line[c->lineLength] = '\0';
    if (c->lineLength != 0 && c->linesLogged++ < kLinesLoggedPerCheck)
        Log(kLogInfo, "health check: %s", c->line);
    c->lineLength = 0;
}

// What the check wrote, a line at a time; never waits. At the end of its output
// (the check ended, or closed it) the last line goes too.
void ReadOutput(HealthCheck* c, bool toTheEnd)
{
    if (c->output < 0)
        return;
    char buf[512];
    ssize_t n;
    while ((n = read(c->output, buf, sizeof(buf))) > 0) {
        for (ssize_t i = 0; i < n; i++) {
            if (buf[i] == '\n' || c->lineLength == sizeof(c->line) - 1)
                LogLine(c);
            if (buf[i] != '\n')
                c->line[c->lineLength++] = buf[i] == '\t' ? ' ' : buf[i];
        }
    }
    if (!toTheEnd && n != 0)
        return;
    LogLine(c);
    if (c->linesLogged > kLinesLoggedPerCheck)
        Log(kLogInfo, "health check: %d more lines not logged", c->linesLogged - kLinesLoggedPerCheck);
    c->linesLogged = 0;
    close(c->output);
    c->output = -1;
}

// The check's leader and everything it left in its group: killed while the leader
// is not yet reaped, so that the group's id cannot have been given to another.
int KillGroupAndReap(HealthCheck* c)
{
    int status = 0;
    kill(-c->pid, SIGKILL);
    while (waitpid(c->pid, &status, 0) < 0 && errno == EINTR) {
    }
    ReadOutput(c, true);
    c->pid = 0;
    return status;
}

} // namespace

void HealthCheckInit(HealthCheck* c, const char* command, const char* folder, bool logOutput)
{
    *c = HealthCheck();
    c->command = command;
    c->folder = folder;
    c->logOutput = logOutput;
    c->output = -1;
}

int HealthCheckStart(HealthCheck* c)
{
    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (c->logOutput && pipe(pipeFds) == 0) {
        fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
        fcntl(pipeFds[1], F_SETFD, FD_CLOEXEC);
        fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    }
    posix_spawnattr_t attr;
    PrepareAttributes(&attr);
    // The folder is entered by the shell (posix_spawn has no chdir everywhere), the
    // check then run as `sh -c` would run it; a folder that is gone is "cannot run".
    char shell[] = "sh", flag[] = "-c", name[] = "vemid-check";
    char script[] = "cd -- \"$1\" || exit 126; exec /bin/sh -c \"$2\"";
    char* argv[] = {shell, flag, script, name, (char*)c->folder, (char*)c->command, NULL};
    pid_t pid;
    int error = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0)
        close(pipeFds[1]);
    if (error != 0) {
        if (pipeFds[0] >= 0)
            close(pipeFds[0]);
        return error;
    }
    c->pid = pid;
    c->output = pipeFds[0];
    return 0;
}

bool HealthCheckEnded(HealthCheck* c, int* exitStatus)
{
    if (c->pid == 0)
        return false;
    ReadOutput(c, false);
    siginfo_t info;
    memset(&info, 0, sizeof(info));
    if (waitid(P_PID, (id_t)c->pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != c->pid)
        return false;
    int status = KillGroupAndReap(c);
    *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

void HealthCheckKill(HealthCheck* c)
{
    if (c->pid != 0)
        KillGroupAndReap(c);
}

void HealthCheckReadOutput(HealthCheck* c)
{
    ReadOutput(c, false);
}
