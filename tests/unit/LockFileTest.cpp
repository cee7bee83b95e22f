// The watchdog's lock file, as pidfile(3) keeps one: what another user could take
// or aim is refused, the file is private and emptied at once, and a holder that
// stops while another takes the lock leaves one keeper, not two.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "LockFile.h"

namespace {

class LockFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/vemi-lock-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        path_ = dir_ + "/vemid.pid";
    }
    void TearDown() override
    {
        std::string rm = "rm -rf '" + dir_ + "'";
        if (system(rm.c_str()) != 0) { /* a leftover folder in /tmp is harmless */ }
    }
    std::string Read(const std::string& path)
    {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_, path_;
};

TEST_F(LockFileTest, RefusesWhatAnotherCouldAimOrTake)
{
    const struct {
        const char* name;
        const char* make; // run by sh in the folder, making vemid.pid
        const char* why;
    } cases[] = {
        {"a symbolic link", "echo keep >victim; ln -s victim vemid.pid", "a symbolic link"},
        {"a second name of a file", "echo keep >victim; ln victim vemid.pid", "the file has other names (hard links)"},
        {"a pipe", "mkfifo vemid.pid", "not a regular file"},
        {"a folder", "mkdir vemid.pid", "Is a directory"},
        {"another user's file", "echo keep >vemid.pid; chown 65534 vemid.pid 2>/dev/null || echo not-root >skip",
         "owned by uid 65534, not by this user"},
    };
    for (const auto& c : cases) {
        std::string make = "cd '" + dir_ + "' && rm -rf vemid.pid victim skip && " + c.make;
        ASSERT_EQ(system(make.c_str()), 0) << c.name;
        if (access((dir_ + "/skip").c_str(), F_OK) == 0)
            continue; // chown needs root
        LockFile lock;
        long holder = -1;
        char why[96] = "";
        EXPECT_EQ(LockFileTake(&lock, path_.c_str(), &holder, why, sizeof(why)), kLockRefused) << c.name;
        EXPECT_STREQ(why, c.why) << c.name;
        EXPECT_EQ(lock.fd, -1) << c.name;
        if (access((dir_ + "/victim").c_str(), F_OK) == 0) {
            EXPECT_EQ(Read(dir_ + "/victim"), "keep\n") << c.name << ": the file it named was written";
        }
    }
}

TEST_F(LockFileTest, IsPrivateNamesTheHolderAloneAndGoesWithIt)
{
    std::ofstream(path_) << "99999\n"; // a pid an earlier run left
    chmod(path_.c_str(), 0644);
    LockFile lock;
    long holder = -1;
    char why[96];
    ASSERT_EQ(LockFileTake(&lock, path_.c_str(), &holder, why, sizeof(why)), kLockTaken) << why;
    struct stat st;
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Read(path_), "") << "the earlier pid stays until the holder names itself";
    LockFileName(&lock);
    EXPECT_EQ(Read(path_), std::to_string(getpid()) + "\n");
    LockFileRelease(&lock);
    EXPECT_NE(access(path_.c_str(), F_OK), 0) << "the file outlived its lock";
}

// A taker opens the file; the holder stops (removes the file, lets the lock go);
// the taker locks the removed file. It must notice and take the file the path
// names, so that a third taker finds the lock held.
int sOpened[2], sGo[2];
void BetweenOpenAndLock(void)
{
    gLockFileOpened = nullptr; // once: the file opened next is the one the path names
    char byte = 'o';
    if (write(sOpened[1], &byte, 1) != 1 || read(sGo[0], &byte, 1) != 1) { /* the test fails below */ }
}

TEST_F(LockFileTest, AHolderThatStopsMeanwhileLeavesOneKeeper)
{
    LockFile first;
    long holder;
    char why[96];
    ASSERT_EQ(LockFileTake(&first, path_.c_str(), &holder, why, sizeof(why)), kLockTaken);
    int taken[2];
    ASSERT_EQ(pipe(sOpened), 0);
    ASSERT_EQ(pipe(sGo), 0);
    ASSERT_EQ(pipe(taken), 0);
    pid_t taker = fork();
    if (taker == 0) {
        close(first.fd); // another process, not a fork of the holder's, which would share its lock
        gLockFileOpened = BetweenOpenAndLock;
        LockFile second;
        LockFileResult result = LockFileTake(&second, path_.c_str(), &holder, why, sizeof(why));
        char byte = result == kLockTaken ? 't' : result == kLockHeld ? 'h' : 'r';
        if (result == kLockRefused)
            fprintf(stderr, "refused: %s\n", why);
        if (write(taken[1], &byte, 1) != 1) { /* the test reads nothing */ }
        pause(); // holds it
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(sOpened[0], &byte, 1), 1);
    LockFileRelease(&first); // the holder stops, while the taker has the file open
    ASSERT_EQ(write(sGo[1], "g", 1), 1);
    ASSERT_EQ(read(taken[0], &byte, 1), 1);
    EXPECT_EQ(byte, 't');
    LockFile third;
    EXPECT_EQ(LockFileTake(&third, path_.c_str(), &holder, why, sizeof(why)), kLockHeld)
        << "two processes hold the watchdog's lock";
    LockFileRelease(&third);
    kill(taker, SIGKILL);
    waitpid(taker, nullptr, 0);
}

} // namespace
