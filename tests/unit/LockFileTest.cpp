// The watchdog's lock file, as pidfile(3) keeps one: what another user could take
// or aim is refused, on the way to the file too; the holder named is the process
// that has the file open; the file is private and emptied at once; and a holder
// that stops while another takes the lock leaves one keeper, not two.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
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

// Each lock path, made by sh in the folder (as root, the other user is nobody;
// cases that need chown are skipped for others), is taken, or refused with the
// component and the reason named; nothing it could aim at is written.
TEST_F(LockFileTest, TakesOnlyWhatNoOtherUserCanAimOrTake)
{
    const struct {
        const char* name;
        const char* make;
        const char* path; // in the folder
        const char* why;  // "": taken; {dir} stands for the folder
    } cases[] = {
        {"a symbolic link", "echo keep >victim; ln -s victim vemid.pid", "vemid.pid", "a symbolic link"},
        {"a second name of a file", "echo keep >victim; ln victim vemid.pid", "vemid.pid",
         "the file has other names (hard links)"},
        {"a pipe", "mkfifo vemid.pid", "vemid.pid", "not a regular file"},
        {"a folder", "mkdir vemid.pid", "vemid.pid", "Is a directory"},
        {"another user's file", "echo keep >vemid.pid; chown 65534 vemid.pid", "vemid.pid",
         "owned by uid 65534, not by this user"},
        {"a folder's link of another user's", "mkdir real; ln -s real run; chown -h 65534 run", "run/vemid.pid",
         "{dir}/run: a symbolic link owned by uid 65534"},
        {"another user's folder", "mkdir run; chown 65534 run", "run/vemid.pid",
         "{dir}/run: a folder owned by uid 65534"},
        {"a folder others may write to", "mkdir -m 775 run", "run/vemid.pid",
         "{dir}/run: a folder others may write to, without the sticky bit"},
        {"a link to itself", "ln -s loop loop", "loop/vemid.pid", "{dir}/loop: Too many levels of symbolic links"},
        {"no file's name", "mkdir run", "run/", "{dir}/run/: not a file's name"},
        {"this user's links, followed", "mkdir -p real/deep; ln -s real run; ln -s $PWD/real/deep run/link",
         "run/./link//../deep/vemid.pid", ""},
        {"a sticky folder others write to", "mkdir -m 1777 run", "run/vemid.pid", ""},
    };
    for (const auto& c : cases) {
        std::string make = "cd '" + dir_ + "' && rm -rf vemid.pid victim run real loop && " + c.make;
        if (system(make.c_str()) != 0) {
            EXPECT_NE(geteuid(), 0u) << c.name << ": cannot be made";
            continue; // chown needs root
        }
        std::string path = dir_ + "/" + c.path, why = c.why;
        if (why.find("{dir}") == 0)
            why.replace(0, 5, dir_);
        LockFile lock;
        long holder = -1;
        char said[256] = "";
        LockFileResult result = LockFileTake(&lock, path.c_str(), &holder, said, sizeof(said));
        EXPECT_EQ(result, why.empty() ? kLockTaken : kLockRefused) << c.name << ": " << said;
        EXPECT_EQ(said, why) << c.name;
        EXPECT_EQ(lock.fd >= 0, why.empty()) << c.name;
        LockFileRelease(&lock);
        if (why.empty()) {
            EXPECT_NE(access(path.c_str(), F_OK), 0) << c.name << ": the lock file outlived the lock";
        }
        if (access((dir_ + "/victim").c_str(), F_OK) == 0) {
            EXPECT_EQ(Read(dir_ + "/victim"), "keep\n") << c.name << ": the file it named was written";
        }
    }
}

// A process that holds the file open and locked, as `uid` (-1: this user), from
// a file it opened read-only; its pid, once it holds the lock.
pid_t Holder(const std::string& path, int uid)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        if (uid >= 0 && (setgid((gid_t)uid) != 0 || setuid((uid_t)uid) != 0))
            _exit(1);
        int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0 || flock(fd, LOCK_SH) != 0 || write(ready[1], "h", 1) != 1)
            _exit(1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char byte;
    bool held = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    if (!held) {
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

// A file naming a pid that has nothing to do with it, held by another process:
// the holder named is the process that has it open. A file others could open (an
// older release's 0644) that no process of this user's holds is no lock at all:
// it is replaced by a private one.
TEST_F(LockFileTest, TheHolderIsTheProcessThatHasTheFileOpen)
{
    const struct {
        const char* name;
        mode_t mode;
        int holderUid; // -1: this user
        LockFileResult result;
    } cases[] = {
        {"private, held by this user", 0600, -1, kLockHeld},
        {"readable by others, held by this user", 0644, -1, kLockHeld},
        {"readable by others, held by another user", 0644, 65534, kLockTaken},
    };
    chmod(dir_.c_str(), 0755); // the other user's way in
    for (const auto& c : cases) {
        if (c.holderUid >= 0 && geteuid() != 0)
            continue; // another user's process needs root to start
        unlink(path_.c_str());
        std::ofstream(path_) << "1\n"; // a pid that is not the holder's
        chmod(path_.c_str(), c.mode);
        pid_t held = Holder(path_, c.holderUid);
        ASSERT_GT(held, 0) << c.name;
        LockFile lock;
        long holder = -1;
        char why[256] = "";
        EXPECT_EQ(LockFileTake(&lock, path_.c_str(), &holder, why, sizeof(why)), c.result) << c.name << ": " << why;
        if (c.result == kLockHeld) {
            EXPECT_EQ(holder, (long)held) << c.name;
        } else {
            struct stat st;
            EXPECT_EQ(stat(path_.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u) << c.name;
            EXPECT_EQ(Read(path_), "") << c.name << ": the file was not replaced";
        }
        LockFileRelease(&lock);
        kill(held, SIGKILL);
        waitpid(held, nullptr, 0);
    }
}

// A holder's file removed by hand while it runs, and a newer holder's made at the
// path: the first holder's release leaves the newer one's file.
TEST_F(LockFileTest, AReleaseNeverRemovesANewerHoldersFile)
{
    LockFile first, newer;
    long holder;
    char why[256];
    ASSERT_EQ(LockFileTake(&first, path_.c_str(), &holder, why, sizeof(why)), kLockTaken) << why;
    ASSERT_EQ(unlink(path_.c_str()), 0);
    ASSERT_EQ(LockFileTake(&newer, path_.c_str(), &holder, why, sizeof(why)), kLockTaken) << why;
    LockFileRelease(&first);
    EXPECT_EQ(access(path_.c_str(), F_OK), 0) << "the newer holder's file went";
    LockFileRelease(&newer);
    EXPECT_NE(access(path_.c_str(), F_OK), 0);
}

TEST_F(LockFileTest, IsPrivateNamesTheHolderAloneAndGoesWithIt)
{
    std::ofstream(path_) << "99999\n"; // a pid an earlier run left
    chmod(path_.c_str(), 0644);
    LockFile lock;
    long holder = -1;
    char why[256];
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

// A taker opens the file; the holder stops (removes the file, lets the lock go)
// just after the open, or after the taker's checks; the taker then finds a file
// with no name, or locks a removed one. Either way it must take the file the path
// names, so that a third taker finds the lock held.
int sOpened[2], sGo[2];
LockFileStep sStopAt;
void HolderStopsHere(LockFileStep step)
{
    if (step != sStopAt)
        return;
    gLockFileStep = nullptr; // once: the file opened next is the one the path names
    char byte = 'o';
    if (write(sOpened[1], &byte, 1) != 1 || read(sGo[0], &byte, 1) != 1) { /* the test fails below */ }
}

class LockRace : public LockFileTest, public testing::WithParamInterface<LockFileStep> {};

TEST_P(LockRace, AHolderThatStopsMeanwhileLeavesOneKeeper)
{
    LockFile first;
    long holder;
    char why[256];
    ASSERT_EQ(LockFileTake(&first, path_.c_str(), &holder, why, sizeof(why)), kLockTaken);
    int taken[2];
    ASSERT_EQ(pipe(sOpened), 0);
    ASSERT_EQ(pipe(sGo), 0);
    ASSERT_EQ(pipe(taken), 0);
    pid_t taker = fork();
    if (taker == 0) {
        close(first.fd); // another process, not a fork of the holder's, which would share its lock
        sStopAt = GetParam();
        gLockFileStep = HolderStopsHere;
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
    EXPECT_EQ(holder, (long)taker);
    LockFileRelease(&third);
    kill(taker, SIGKILL);
    waitpid(taker, nullptr, 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, LockRace, testing::Values(kLockFileOpened, kLockFileChecked),
                         [](const testing::TestParamInfo<LockFileStep>& i) {
                             return i.param == kLockFileOpened ? "JustOpened" : "Checked";
                         });

} // namespace
