#include "VemidOptions.h"

#include <errno.h>
#include <grp.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "LockFile.h"

namespace {

void PrintUsage(FILE* out)
{
    fprintf(out, "usage: vemid [-dhn] [-t seconds] [-s seconds] [-e command [-T seconds] [-U user[:group]]]\n"
                 "             [-x seconds] [-I pidfile] [-N ups [-S statepath] [-G group]] [-u file]\n"
                 "             [-L percent] [-p seconds] [-P flagfile] [-m file]\n");
}

int Usage(const char* problem, const char* value)
{
    if (problem != NULL)
        fprintf(stderr, value != NULL ? "vemid: %s: %s\n" : "vemid: %s%s\n", problem, value != NULL ? value : "");
    PrintUsage(stderr);
    return VEMID_EXIT_USAGE;
}

// A whole decimal number from `lo` to `hi`.
bool Number(const char* text, int lo, int hi, int* out)
{
    char* end = NULL;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi)
        return false;
    *out = (int)v;
    return true;
}

// The folder vemid was started from, or null when that cannot be told; kept for
// the whole run, as the options point into it.
const char* StartFolder(void)
{
    static char folder[4096];
    return getcwd(folder, sizeof(folder));
}

// The path as seen from here, kept in `store`: a detached vemid works from the
// root folder. One too long for it stays as given.
const char* Absolute(const char* path, char* store, size_t size)
{
    const char* here = StartFolder();
    if (path == NULL || path[0] == '/' || here == NULL ||
        snprintf(store, size, "%s/%s", here, path) >= (int)size)
        return path;
    return store;
}

// A name of ups.conf's sections as a socket's name may hold it.
bool UpsName(const char* name)
{
    size_t n = strlen(name);
    return n != 0 && n <= 64 &&
           strspn(name, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.") == n && name[0] != '.';
}

// A group by name or number.
bool Group(const char* text, long* gid)
{
    if (struct group* g = getgrnam(text)) {
        *gid = (long)g->gr_gid;
        return true;
    }
    char* end = NULL;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0)
        return false;
    *gid = v;
    return true;
}

// A user by name or number, with a group after ':' (else the user's own).
bool User(const char* text, VemidOptions* o)
{
    static char name[256];
    size_t n = strcspn(text, ":");
    if (n == 0 || n >= sizeof(name))
        return false;
    memcpy(name, text, n);
    name[n] = '\0';
    struct passwd* pw = getpwnam(name);
    if (pw == NULL) {
        char* end = NULL;
        errno = 0;
        long uid = strtol(name, &end, 10);
        if (errno != 0 || *end != '\0' || uid < 0 || (pw = getpwuid((uid_t)uid)) == NULL)
            return false;
    }
    snprintf(name, sizeof(name), "%s", pw->pw_name); // the password file's buffer is reused
    o->checkUser = name;
    o->checkUid = (long)pw->pw_uid;
    o->checkGid = (long)pw->pw_gid;
    return text[n] != ':' || Group(text + n + 1, &o->checkGid);
}

} // namespace

int ParseVemidOptions(int argc, char** argv, VemidOptions* o)
{
    *o = VemidOptions();
    o->watchdogSeconds = 60;
    o->lowBatteryPercent = 30;
    o->upsSeconds = 2;
    o->nutFolder = VEMI_NUT_STATE_PATH;
    o->nutGroup = -1;
    int c;
    bool ok = true;
    const char* bad = NULL;
    while (ok && (c = getopt(argc, argv, "dhnt:s:e:T:U:x:I:N:S:G:u:L:p:P:m:")) != -1) {
        bad = optarg;
        switch (c) {
        case 'h':
            PrintUsage(stdout); // asked for: no mistake, exit 0
            o->help = true;
            return 0;
        case 'd': o->foreground = true; break;
        case 'n': o->neverArm = true; break;
        case 't': ok = Number(optarg, 2, 255, &o->watchdogSeconds); break;
        case 's': ok = Number(optarg, 1, 255, &o->feedSeconds); break;
        case 'e': o->check = optarg; break;
        case 'T': ok = Number(optarg, 1, 255, &o->checkSeconds); break;
        case 'U': ok = User(optarg, o); break;
        case 'x': ok = Number(optarg, 0, 255, &o->shutdownSeconds); break;
        case 'I': o->pidFile = optarg; break;
        case 'N': o->upsName = optarg, ok = UpsName(optarg); break;
        case 'S': o->nutFolder = optarg; break;
        case 'G': ok = Group(optarg, &o->nutGroup); break;
        case 'u': o->upsFile = optarg; break;
        case 'L': ok = Number(optarg, 0, 100, &o->lowBatteryPercent); break;
        case 'p': ok = Number(optarg, 1, 3600, &o->upsSeconds); break;
        case 'P': o->powerDownFlag = optarg; break;
        case 'm': o->metricsFile = optarg; break;
        default: return Usage(NULL, NULL);
        }
    }
    if (!ok) {
        const char* expected = c == 't' ? "-t: seconds from 2 to 255 expected"
                               : c == 's' ? "-s: seconds from 1 to 255 expected"
                               : c == 'T' ? "-T: seconds from 1 to 255 expected"
                               : c == 'x' ? "-x: seconds from 0 to 255 expected"
                               : c == 'L' ? "-L: a percentage from 0 to 100 expected"
                               : c == 'N' ? "-N: a UPS name of letters, digits, '-', '_' and '.' expected"
                               : c == 'G' ? "-G: a group expected"
                               : c == 'U' ? "-U: a user, and a group after ':', expected"
                                          : "-p: seconds from 1 to 3600 expected";
        return Usage(expected, bad);
    }
    if (optind != argc)
        return Usage("unexpected argument", argv[optind]);
    if (o->pidFile == NULL) // one that keeps no watchdog is no lock on it
        o->pidFile = o->neverArm ? VEMID_PLAIN_PIDFILE : VEMI_WATCHDOG_LOCK;
    const char** paths[] = {&o->pidFile, &o->upsFile, &o->powerDownFlag, &o->metricsFile, &o->nutFolder};
    for (int i = 0; i < 5; i++)
        *paths[i] = Absolute(*paths[i], o->absolute[i], sizeof(o->absolute[i]));
    o->startFolder = StartFolder() != NULL ? StartFolder() : "/";
    if (o->feedSeconds == 0)
        o->feedSeconds = o->watchdogSeconds / 3 > 1 ? o->watchdogSeconds / 3 : 1;
    if (o->feedSeconds * 2 > o->watchdogSeconds)
        return Usage("-s: more than half of -t leaves no room for a feed that fails", NULL);
    if (o->checkSeconds == 0)
        o->checkSeconds = o->feedSeconds;
    if (o->check != NULL && o->feedSeconds + o->checkSeconds >= o->watchdogSeconds)
        return Usage("-s and -T together must stay under -t: the watchdog would expire while a check runs", NULL);
    return 0;
}
