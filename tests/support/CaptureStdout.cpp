#include "CaptureStdout.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

std::string CaptureStdout(const std::function<void()>& body)
{
    fflush(stdout);
    char path[] = "/tmp/vemi-capture-XXXXXX";
    int fd = mkstemp(path);
    int saved = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    body();
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string text;
    lseek(fd, 0, SEEK_SET);
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof(buf))) > 0)
        text.append(buf, (size_t)n);
    close(fd);
    unlink(path);
    return text;
}
