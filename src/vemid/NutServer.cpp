#include "NutServer.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "Log.h"
#include "ToolVersion.h"

namespace {

const char* const kVariables[kNutVariables] = {
    "device.type", "driver.name", "driver.version", "ups.model", "device.model", "ups.firmware",
    "ups.status", "ups.alarm", "battery.charge", "battery.charge.low", "experimental.dalv.power_failures"};
enum { kDeviceType, kDriverName, kDriverVersion, kModel, kDeviceModel, kFirmware, kStatus, kAlarm, kCharge,
       kChargeLow, kPowerFailures };

void Close(NutClient* c)
{
    if (c->fd >= 0)
        close(c->fd);
    c->fd = -1;
}

// Writes what the client takes now; one that has left too much unread is dropped.
void Flush(NutClient* c)
{
    while (c->fd >= 0 && c->outLength != 0) {
        ssize_t n = send(c->fd, c->out, c->outLength, MSG_NOSIGNAL); // a client gone is EPIPE, never a signal
        if (n > 0) {
            memmove(c->out, c->out + n, c->outLength - (size_t)n);
            c->outLength -= (size_t)n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                Close(c);
            return;
        }
    }
}

void Send(NutClient* c, const char* format, const char* a = "", const char* b = "")
{
    if (c->fd < 0)
        return;
    char line[kNutLine];
    int n = snprintf(line, sizeof(line), format, a, b);
    if (n < 0 || (size_t)n >= sizeof(line))
        return;
    if (c->outLength + (size_t)n > sizeof(c->out))
        Flush(c); // what the socket takes now, before the client is judged
    if (c->fd >= 0 && c->outLength + (size_t)n > sizeof(c->out)) {
        Log(kLogWarning, "NUT: a client that does not read what it is sent was dropped");
        Close(c);
        return;
    }
    memcpy(c->out + c->outLength, line, (size_t)n);
    c->outLength += (size_t)n;
}

void SendValue(NutClient* c, int i, const char* value)
{
    if (value[0] != '\0')
        Send(c, "SETINFO %s \"%s\"\n", kVariables[i], value);
    else
        Send(c, "DELINFO %s\n", kVariables[i]);
}

void Dump(const NutServer* s, NutClient* c)
{
    if (s->stale)
        Send(c, "DATASTALE\n");
    for (int i = 0; i < kNutVariables; i++)
        if (s->values[i][0] != '\0')
            SendValue(c, i, s->values[i]);
    if (!s->stale)
        Send(c, "DATAOK\n");
    Send(c, "DUMPDONE\n");
}

// The variables as NUT is to know them. (The model is escaped already, as the
// protocol wants quotes and backslashes.)
void Values(const UpsState* state, char values[kNutVariables][64])
{
    static const char* const status[] = {"", "OL CHRG", "OB DISCHRG", "OB DISCHRG LB", "OL ALARM", ""};
    bool known = state->noStateWhy == NULL;
    memset(values, 0, sizeof(char[kNutVariables][64]));
    snprintf(values[kDeviceType], 64, "ups");
    snprintf(values[kDriverName], 64, "vemid");
    snprintf(values[kDriverVersion], 64, "%s", VEMI_VERSION_TEXT);
    snprintf(values[kModel], 64, "%s", state->model);
    snprintf(values[kDeviceModel], 64, "%s", state->model);
    snprintf(values[kFirmware], 64, "%s", state->firmware);
    snprintf(values[kStatus], 64, "%s", known ? status[state->line] : "");
    snprintf(values[kAlarm], 64, "%s",
             !known ? state->noStateWhy : state->line == kLineNoBackup ? "UPS disabled: no battery backup" : "");
    if (known && state->charge >= 0)
        snprintf(values[kCharge], 64, "%d", state->charge);
    snprintf(values[kChargeLow], 64, "%d", state->lowPercent);
    if (known && state->counter >= 0)
        snprintf(values[kPowerFailures], 64, "%d", state->counter);
}

// Splits a line as NUT's parser does: words apart by blanks, a quoted word with
// \" and \\ inside. At most `max` words; false for a line it cannot split.
int Words(char* line, char** words, int max)
{
    int n = 0;
    char* in = line;
    while (*in != '\0') {
        while (*in == ' ' || *in == '\t' || *in == '\r')
            in++;
        if (*in == '\0')
            break;
        if (n == max)
            return -1;
        char* out = in;
        words[n++] = out;
        bool quoted = *in == '"';
        in += quoted;
        while (*in != '\0' && (quoted ? *in != '"' : (*in != ' ' && *in != '\t' && *in != '\r'))) {
            if (quoted && *in == '\\' && in[1] != '\0')
                in++;
            *out++ = *in++;
        }
        if (quoted && *in != '"')
            return -1;
        char* next = *in != '\0' ? in + 1 : in;
        *out = '\0';
        in = next;
    }
    return n;
}

bool PlainId(const char* id)
{
    size_t n = strlen(id);
    return n != 0 && n < 64 && strspn(id, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.") == n;
}

void Answer(NutServer* s, NutClient* c, char* line)
{
    char* w[8];
    int n = Words(line, w, 8);
    if (n <= 0)
        return;
    if (strcasecmp(w[0], "DUMPALL") == 0) {
        Dump(s, c);
    } else if (strcasecmp(w[0], "PING") == 0) {
        Send(c, "PONG\n");
    } else if (strcasecmp(w[0], "NOBROADCAST") == 0) {
        c->broadcast = false;
    } else if (strcasecmp(w[0], "BROADCAST") == 0) {
        c->broadcast = n < 2 || atoi(w[1]) > 0;
    } else if ((strcasecmp(w[0], "INSTCMD") == 0 || strcasecmp(w[0], "SET") == 0) && n >= 4 &&
               strcasecmp(w[n - 2], "TRACKING") == 0 && PlainId(w[n - 1])) {
        Send(c, "TRACKING %s %s\n", w[n - 1], "1"); // not done: vemid takes no command for the UPS
    }
}

void Read(NutServer* s, NutClient* c)
{
    char buf[1024];
    ssize_t n = read(c->fd, buf, sizeof(buf));
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        Close(c);
        return;
    }
    for (ssize_t i = 0; i < n && c->fd >= 0; i++) {
        if (buf[i] == '\n') {
            c->in[c->inLength] = '\0';
            if (!c->discarding)
                Answer(s, c, c->in);
            c->inLength = 0;
            c->discarding = false;
        } else if (c->inLength == sizeof(c->in) - 1) {
            c->discarding = true;
        } else if (!c->discarding) {
            c->in[c->inLength++] = buf[i] == '\0' ? ' ' : buf[i];
        }
    }
    Flush(c);
}

void Accept(NutServer* s)
{
    int fd;
    while ((fd = accept(s->listener, NULL, NULL)) >= 0) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, O_NONBLOCK);
        NutClient* free = NULL;
        for (NutClient& c : s->clients)
            if (c.fd < 0 && free == NULL)
                free = &c;
        if (free == NULL) {
            close(fd); // more clients than NUT has: the newest is turned away
            continue;
        }
        free->fd = fd;
        free->broadcast = true;
        free->discarding = false;
        free->inLength = free->outLength = 0;
    }
}

#ifdef __FreeBSD__
// A socket in the folder of `dir`: FreeBSD binds relative to a descriptor, and the
// socket takes the folder's group.
int BindIn(int dir, int fd, const struct sockaddr_un* addr, gid_t)
{
    return bindat(dir, fd, (const struct sockaddr*)addr, sizeof(*addr));
}
#else
// Linux binds by a path: the socket is made from within the folder (vemid is one
// thread), with the group vemid takes for the moment.
int BindIn(int dir, int fd, const struct sockaddr_un* addr, gid_t group)
{
    int here = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (here < 0 || fchdir(dir) != 0) {
        int error = errno;
        if (here >= 0)
            close(here);
        errno = error;
        return -1;
    }
    gid_t was = getegid();
    bool asGroup = geteuid() == 0 && group != was && setegid(group) == 0;
    int rc = bind(fd, (const struct sockaddr*)addr, sizeof(*addr));
    int error = errno;
    if (asGroup && setegid(was) != 0) { /* root may always take its own group back */ }
    if (fchdir(here) != 0) { /* the folder vemid works from is "/" or where it started */ }
    close(here);
    errno = error;
    return rc;
}
#endif

// Makes the listener; false with errno (and `*why`) when it cannot be now.
bool Listen(NutServer* s, const char** why)
{
    struct stat st;
    if (fstatat(s->folder, s->name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *why = "there is something else by its name";
            errno = EEXIST;
            return false;
        }
        unlinkat(s->folder, s->name, 0); // an earlier run's: the pidfile's lock is ours
    }
    struct sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", s->name);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    *why = "cannot be made";
    if (fd < 0)
        return false;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(fd, F_SETFL, O_NONBLOCK);
    mode_t mask = umask(0117); // root's and NUT's group's alone: 0660
    int bound = BindIn(s->folder, fd, &addr, s->group);
    umask(mask);
    if (bound != 0 || listen(fd, kNutClients) != 0 ||
        fstatat(s->folder, s->name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return false;
    }
    s->listener = fd;
    s->dev = st.st_dev;
    s->ino = st.st_ino;
    Log(kLogNotice, "NUT: serving the UPS on %s", s->name);
    return true;
}

void TryListen(NutServer* s, int64_t nowMs)
{
    const char* why;
    if (s->listener >= 0 || s->folder < 0 || Listen(s, &why))
        return;
    if (nowMs == 0 || nowMs - s->lastLogMs >= 60000) {
        Log(kLogError, "NUT: the socket %s %s: %s", s->name, why, strerror(errno));
        s->lastLogMs = nowMs;
    }
}

void Publish(void* context, const UpsState* state, int64_t nowMs)
{
    NutServer* s = (NutServer*)context;
    TryListen(s, nowMs);
    char values[kNutVariables][64];
    Values(state, values);
    bool stale = state->noStateWhy != NULL;
    for (NutClient& c : s->clients) {
        if (c.fd < 0 || !c.broadcast)
            continue;
        if (stale && !s->stale)
            Send(&c, "DATASTALE\n");
        for (int i = 0; i < kNutVariables; i++)
            if (strcmp(values[i], s->values[i]) != 0)
                SendValue(&c, i, values[i]);
        if (!stale && s->stale)
            Send(&c, "DATAOK\n");
        Flush(&c);
    }
    memcpy(s->values, values, sizeof(values));
    s->stale = stale;
}

} // namespace

void NutServerInit(NutServer* s)
{
    *s = NutServer();
    s->folder = s->listener = -1;
    for (NutClient& c : s->clients)
        c.fd = -1;
    s->stale = true;
}

bool NutServerStart(NutServer* s, const char* stateFolder, const char* ups, gid_t group, const UpsState* state)
{
    NutServerInit(s);
    Values(state, s->values);
    snprintf(s->name, sizeof(s->name), "vemid-nut-%s", ups);
    s->folder = open(stateFolder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (s->folder < 0 || fstat(s->folder, &st) != 0) {
        Log(kLogError, "NUT: %s: %s", stateFolder, strerror(errno));
        return false;
    }
    s->group = group != (gid_t)-1 ? group : st.st_gid;
    TryListen(s, 0);
    return s->listener >= 0;
}

UpsSink NutServerSink(NutServer* s)
{
    return {s, Publish};
}

int NutServerFds(const NutServer* s, struct pollfd* fds, int max)
{
    int n = 0;
    for (const NutClient& c : s->clients)
        if (c.fd >= 0 && n < max)
            fds[n++] = {c.fd, (short)(POLLIN | (c.outLength != 0 ? POLLOUT : 0)), 0};
    if (s->listener >= 0 && n < max) // last: a client that left frees its place first
        fds[n++] = {s->listener, POLLIN, 0};
    return n;
}

void NutServerServe(NutServer* s, const struct pollfd* fds, int count, int64_t)
{
    for (int i = 0; i < count; i++) {
        if (fds[i].revents == 0)
            continue;
        if (fds[i].fd == s->listener) {
            Accept(s);
            continue;
        }
        for (NutClient& c : s->clients) {
            if (c.fd != fds[i].fd)
                continue;
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                Read(s, &c);
            if (c.fd >= 0 && (fds[i].revents & POLLOUT))
                Flush(&c);
        }
    }
}

void NutServerStop(NutServer* s)
{
    for (NutClient& c : s->clients)
        Close(&c);
    if (s->listener >= 0) {
        close(s->listener);
        struct stat st;
        if (fstatat(s->folder, s->name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(st.st_mode) && st.st_dev == s->dev &&
            st.st_ino == s->ino)
            unlinkat(s->folder, s->name, 0);
    }
    s->listener = -1;
    if (s->folder >= 0)
        close(s->folder);
    s->folder = -1;
}
