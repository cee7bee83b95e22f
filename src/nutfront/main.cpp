// vemid-nut: what NUT's upsdrvctl starts for a UPS that vemid serves. vemid is
// that UPS's driver (vemid -N), and upsdrvctl knows only drivers it starts itself
// and stops through their pidfile: for `-a UPS`, this program leaves a placeholder
// process, which names itself in the pidfile upsdrvctl reads and ends on SIGTERM,
// so that `upsdrvctl start` and `stop` succeed and never reach vemid. `-k` (what
// `upsdrvctl shutdown` asks: cut the power) is not supported by the board's UPS:
// it says so and exits 1, as NUT's drivers do. Run as root, it works as NUT's user.
// Usage, as upsdrvctl calls it: vemid-nut [-D...] -a UPS [-r DIR] [-u USER] [-k]
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "MachinePaths.h"

namespace {

const char kStatePath[] = VEMI_NUT_STATE_PATH;
#ifdef __FreeBSD__
const char kNutUser[] = "uucp"; // NUT's, as the system's package has it
#else
const char kNutUser[] = "nut";
#endif
const char kProgram[] = "vemid-nut";

volatile sig_atomic_t sEnd = 0;

void OnEnd(int)
{
    sEnd = 1;
}

int Usage(void)
{
    fprintf(stderr, "usage: %s [-D...] -a UPS [-r dir] [-u user] [-k]\n"
                    "  the placeholder NUT's upsdrvctl starts for a UPS that vemid serves (vemid -N UPS)\n",
            kProgram);
    return 1;
}

// NUT's user, where root starts it: the pidfile is written as that user.
bool BecomeUser(const char* name)
{
    if (getuid() != 0)
        return true;
    struct passwd* pw = getpwnam(name);
    if (pw == NULL) {
        fprintf(stderr, "%s: no user %s\n", kProgram, name);
        return false;
    }
    if (initgroups(pw->pw_name, pw->pw_gid) != 0 || setgid(pw->pw_gid) != 0 || setuid(pw->pw_uid) != 0) {
        fprintf(stderr, "%s: cannot become %s: %s\n", kProgram, name, strerror(errno));
        return false;
    }
    return true;
}

// The placeholder: its pid in the pidfile, then nothing until SIGTERM, when the
// pidfile goes. Tells `ready` once the pidfile names it.
[[noreturn]] void Placeholder(const char* pidfile, int ready)
{
    setsid();
    struct sigaction end = {};
    end.sa_handler = OnEnd;
    sigaction(SIGTERM, &end, nullptr);
    sigaction(SIGINT, &end, nullptr);
    signal(SIGHUP, SIG_IGN);
    sigset_t blocked, waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    int fd = open(pidfile, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    char text[32];
    int n = snprintf(text, sizeof(text), "%ld\n", (long)getpid());
    if (fd < 0 || write(fd, text, (size_t)n) != n) {
        fprintf(stderr, "%s: %s: %s\n", kProgram, pidfile, strerror(errno));
        _exit(1);
    }
    close(fd);
    if (write(ready, "", 1) != 1) { /* the starter has gone: run all the same */ }
    close(ready);
    if (chdir("/") != 0) { /* it holds no file by a relative name */ }
    int null = open("/dev/null", O_RDWR);
    for (int std = 0; null >= 0 && std <= 2; std++)
        dup2(null, std);
    while (!sEnd)
        sigsuspend(&waiting);
    unlink(pidfile);
    _exit(0);
}

} // namespace

int main(int argc, char** argv)
{
    const char* ups = NULL;
    const char* user = kNutUser;
    bool shutdown = false;
    int c;
    while ((c = getopt(argc, argv, "a:u:r:kDh")) != -1) {
        switch (c) {
        case 'a': ups = optarg; break;
        case 'u': user = optarg; break;
        case 'r': break; // a chroot: the placeholder reads and writes nothing but its pidfile
        case 'k': shutdown = true; break;
        case 'D': break;
        default: return Usage();
        }
    }
    if (ups == NULL || optind != argc || strchr(ups, '/') != NULL || ups[0] == '.')
        return Usage();
    if (shutdown) {
        fprintf(stderr, "%s: shutdown not supported: the board's UPS takes no command to cut the power; "
                        "vemid leaves the watchdog disarmed when NUT powers the machine off (vemid -P)\n", kProgram);
        return 1;
    }
    const char* folder = getenv("NUT_ALTPIDPATH");
    if (folder == NULL || *folder == '\0')
        folder = getenv("NUT_STATEPATH");
    if (folder == NULL || *folder == '\0')
        folder = kStatePath;
    char pidfile[1024];
    if (snprintf(pidfile, sizeof(pidfile), "%s/%s-%s.pid", folder, kProgram, ups) >= (int)sizeof(pidfile))
        return Usage();
    if (!BecomeUser(user))
        return 1;
    int ready[2];
    if (pipe(ready) != 0)
        return 1;
    pid_t pid = fork();
    if (pid < 0)
        return 1;
    if (pid == 0) {
        close(ready[0]);
        Placeholder(pidfile, ready[1]);
    }
    close(ready[1]);
    char byte;
    ssize_t n;
    while ((n = read(ready[0], &byte, 1)) < 0 && errno == EINTR) {
    }
    return n == 1 ? 0 : 1;
}
