// A recording made with --record replays the same run byte for byte, anywhere.
// The simulated board stands in for the real device underneath the recorder.
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include "RunTool.h"

namespace {

struct Pair {
    RunResult recorded, replayed;
};

Pair RecordThenReplay(const std::vector<std::string>& args, const std::string& board, const std::string& input = "")
{
    char path[] = "/tmp/vemi-recording-XXXXXX";
    close(mkstemp(path));
    RunOptions o;
    o.input = input;
    o.simArgs = {"--board", board, "--record", path};
    Pair p;
    p.recorded = RunVemiCmd(args, o);
    o.simArgs = {"--replay", path};
    p.replayed = RunVemiCmd(args, o);
    unlink(path);
    return p;
}

void ExpectSameRun(const Pair& p, const std::string& what)
{
    EXPECT_EQ(p.replayed.out, p.recorded.out) << what;
    EXPECT_EQ(p.replayed.exitStatus, p.recorded.exitStatus) << what;
    EXPECT_EQ(p.replayed.err, "") << what;
    EXPECT_EQ(p.replayed.trace.find("unmatched"), std::string::npos) << what;
    EXPECT_FALSE(p.recorded.out.empty()) << what;
}

TEST(RecordReplay, EveryCommandReplaysByteForByte)
{
    for (std::vector<std::string> args :
         {std::vector<std::string>{"/ver", "/sens", "/dalv", "/dmpusr"}, {"/wdt"}, {"/dmpusr", "/s"},
          {"/ig:0x8000", "/io:0x1", "/ibuf:B:1", "/olen:0"}, {"/ig:7000", "/io:0", "/ibuf:W:1,2", "/olen:200"}})
        ExpectSameRun(RecordThenReplay(args, "default"), args[0]);
}

TEST(RecordReplay, FailuresAndOddBoardsReplayToo)
{
    ExpectSameRun(RecordThenReplay({"/ver"}, "busy"), "busy");
    ExpectSameRun(RecordThenReplay({"/dalv"}, "no-gpio-ex"), "no-gpio-ex");
    ExpectSameRun(RecordThenReplay({"/ver", "/sens"}, "full-names"), "full-names");
    ExpectSameRun(RecordThenReplay({"/sens"}, "no-sensors"), "no-sensors");
    // The direct call with its prompts answered on standard input.
    ExpectSameRun(RecordThenReplay({}, "default", "7000 0 B:1,2,3 40"), "prompts");
}

TEST(RecordReplay, ARequestTheRecordingDoesNotHoldIsNotSupported)
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
                     "Function Reading user eeprom not supported\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.trace.find("0x7000/0x0 in=- out=128 status=0x701 returned=- unmatched\n"), std::string::npos);
    // A file without a recording is refused before the command runs.
    RunResult refused = RunVemisim({"--replay", LibraryBoardPath("busy"), "--", "/bin/echo", "ran"});
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_NE(refused.err.find("holds no recording"), std::string::npos);
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
