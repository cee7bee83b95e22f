// Linux: a child subreaper, and the process tree read from /proc.
#include <ctype.h>
#include <dirent.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <map>
#include <vector>

#include "ProcessTree.h"

namespace {

// Field 4 (parent) of /proc/PID/stat; the name before them is in
// parentheses and may hold anything, so the fields count from its last ')'.
bool ReadParent(pid_t pid, pid_t* parent)
{
    char path[64], text[512];
    snprintf(path, sizeof(path), "/proc/%d/stat", (int)pid);
    FILE* f = fopen(path, "re");
    if (f == nullptr)
        return false;
    size_t n = fread(text, 1, sizeof(text) - 1, f);
    fclose(f);
    text[n] = '\0';
    const char* close = strrchr(text, ')');
    int ppid = 0;
    char state;
    if (close == nullptr || sscanf(close + 1, " %c %d", &state, &ppid) != 2)
        return false;
    *parent = ppid;
    return true;
}

} // namespace

bool BecomeReaper(void)
{
    return prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
}

int SignalDescendants(int sig)
{
    std::map<pid_t, std::vector<pid_t>> children;
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return 0;
    for (struct dirent* e; (e = readdir(proc)) != nullptr;) {
        if (!isdigit((unsigned char)e->d_name[0]))
            continue;
        pid_t pid = (pid_t)atoi(e->d_name), parent = 0;
        if (ReadParent(pid, &parent))
            children[parent].push_back(pid);
    }
    closedir(proc);
    int reached = 0;
    std::vector<pid_t> todo = {getpid()};
    while (!todo.empty()) {
        pid_t p = todo.back();
        todo.pop_back();
        for (pid_t c : children[p]) {
            reached += kill(c, sig) == 0;
            todo.push_back(c);
        }
    }
    return reached;
}
