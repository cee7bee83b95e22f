// A recording made with --record replays the same run byte for byte, anywhere.
// The simulated board stands in for the real device underneath the recorder; a
// file that holds no recording is refused (cases/vemisim.cases).
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include "RunTool.h"

namespace {

// Every command, failures and odd boards: the replay is the recorded run, byte for byte.
TEST(RecordReplay, EveryRunReplaysByteForByte)
{
    struct Case {
        std::vector<std::string> args;
        const char* board;
        const char* input; // the direct call's prompts answered on standard input
    } cases[] = {
        {{"/ver", "/sens", "/dalv", "/dmpusr"}, "default", ""}, {{"/wdt"}, "default", ""},
        {{"/dmpusr", "/s"}, "default", ""}, {{"/ig:0x8000", "/io:0x1", "/ibuf:B:1", "/olen:0"}, "default", ""},
        {{"/ig:7000", "/io:0", "/ibuf:W:1,2", "/olen:200"}, "default", ""}, {{}, "default", "7000 0 B:1,2,3 40"},
        {{"/ver"}, "busy", ""}, {{"/dalv"}, "no-gpio-ex", ""}, {{"/ver", "/sens"}, "full-names", ""},
        {{"/sens"}, "no-sensors", ""},
    };
    for (const Case& c : cases) {
        std::string path = "/tmp/vemi-recording-" + std::to_string(getpid());
        RunOptions o;
        o.input = c.input;
        o.simArgs = {"--board", c.board, "--record", path};
        RunResult recorded = RunVemiCmd(c.args, o);
        o.simArgs = {"--replay", path};
        RunResult replayed = RunVemiCmd(c.args, o);
        unlink(path.c_str());
        std::string what = std::string(c.board) + " " + (c.args.empty() ? "" : c.args[0]);
        EXPECT_FALSE(recorded.out.empty()) << what;
        EXPECT_EQ(replayed.out, recorded.out) << what;
        EXPECT_EQ(replayed.exitStatus, recorded.exitStatus) << what;
        EXPECT_EQ(replayed.err, "") << what;
        EXPECT_EQ(replayed.trace.find("unmatched"), std::string::npos) << what;
    }
}

// Not "not supported", which the firmware might have said: vemisim says what is missing.
TEST(RecordReplay, ARequestTheRecordingDoesNotHoldIsToldOnceAndFails)
{
    char path[] = "/tmp/vemi-recording-XXXXXX";
    close(mkstemp(path));
    RunOptions o;
    o.simArgs = {"--board", "default", "--record", path};
    RunVemiCmd({"/ver"}, o);
    o.simArgs = {"--replay", path};
    RunResult r = RunVemiCmd({"/s", "/ver", "/dmpusr"}, o);
    EXPECT_EQ(r.out, "Vemilex Version:         2.01.0042\n"
                     "Mainboard:               SIM-100\n"
                     "MB-Rev:                  G3\n"
                     "Bios Version:            10.05\n"
                     "Reading user eeprom failed with error 0x0005\n");
    EXPECT_EQ(r.exitStatus, 5);
    EXPECT_EQ(r.err, "vemisim: the recording holds no answer to 0x7000/0x0 in=-; answering EIO\n");
    EXPECT_NE(r.trace.find("0x7000/0x0 in=- out=128 status=0x5 returned=- unmatched\n"), std::string::npos);
    unlink(path);
}

// A script's recording keeps every request of every process, in order; its replay
// answers them all, and tells a missing answer once in the run, not once a process.
TEST(RecordReplay, AScriptsRecordingKeepsEveryProcess)
{
    char path[] = "/tmp/vemi-recording-XXXXXX";
    close(mkstemp(path));
    std::string script = VemiCmdPath() + " --lock-file=vemid.pid /ver; " + VemiCmdPath() +
                         " --lock-file=vemid.pid /s /dalv";
    RunResult recorded = RunVemisim({"--board", "ups-on-battery", "--record", path, "--", "/bin/sh", "-c", script});
    RunResult replayed = RunVemisim({"--replay", path, "--", "/bin/sh", "-c", script});
    EXPECT_EQ(recorded.exitStatus, 0);
    EXPECT_EQ(replayed.out, recorded.out);
    EXPECT_EQ(replayed.exitStatus, 0) << replayed.err;
    EXPECT_EQ(replayed.err, "");
    std::string twice = VemiCmdPath() + " /s /dmpusr; " + VemiCmdPath() + " /s /dmpusr";
    RunResult missing = RunVemisim({"--replay", path, "--", "/bin/sh", "-c", twice});
    EXPECT_EQ(missing.err, "vemisim: the recording holds no answer to 0x7000/0x0 in=-; answering EIO\n");
    unlink(path);
}

TEST(RecordReplay, ARecordingIsAValidBoardFileOrNoneAndVemisimSaysWhy)
{
    char path[] = "/tmp/vemi-recording-XXXXXX";
    close(mkstemp(path)); // an empty file, as a script's mktemp leaves one
    // No driver here: nothing runs, nothing is left.
    RunResult r = RunVemisim({"--record", path, "--", VemiCmdPath(), "/dalv"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.err, "vemisim: cannot record: /dev/vemix: No such file or directory (on a machine without the "
                     "driver, --board names a board to record instead)\n");
    EXPECT_NE(access(path, F_OK), 0);
    // A command that makes no request leaves no file either.
    r = RunVemisim({"--board", "default", "--record", path, "--", VemiCmdPath(), "/s", "/help"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "vemisim: " + std::string(path) + " not written: " + VemiCmdPath() + " made no request\n");
    EXPECT_NE(access(path, F_OK), 0);
}

} // namespace
