// What VemiCmd writes and when: a prompt shows before its answer is read, a large
// dump arrives whole, and output that cannot be written fails the run.
#include <gtest/gtest.h>

#include "RunTool.h"

namespace {

const char kFailed[] = "VemiCmd: cannot write standard output: Broken pipe\n";

// The answer is typed only once the prompt has arrived through the pipe.
TEST(Output, APromptShowsBeforeItsAnswerIsRead)
{
    RunOptions o;
    o.when = "IndexGroup:";
    o.typed = "8000 1 B:1 0\n";
    RunResult r = RunVemiCmd({"/s"}, o);
    EXPECT_TRUE(r.acted);
    EXPECT_EQ(r.out, "IndexGroup:IndexOffset:InBuffer:OutBuffer Length:");
    EXPECT_EQ(TraceLines(r.trace, "0x"), "0x8000/0x1 in=01 out=0 status=0x0 returned=0\n");
}

TEST(Output, ALargeGeneratedAnswerIsDumpedWhole)
{
    RunOptions o;
    o.boardJson = R"({"raw": [{"group": "0xA000", "offset": 0, "size": 100000, "pattern": "counter"}]})";
    RunResult r = RunVemiCmd({"/s", "/ig:A000", "/io:0", "/ibuf:X", "/olen:100000"}, o);
    ASSERT_EQ(r.out.size(), 100000u / 16 * 48);
    EXPECT_EQ(r.out.substr(0, 48), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n");
    EXPECT_EQ(r.out.substr(r.out.size() - 48), "90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F\n");
}

TEST(Output, AFailingWriteEndsWith255AndOneLineOnStandardErrorUnlessAFailureStands)
{
    RunOptions o;
    o.output = Output::kFailing;
    for (std::vector<std::string> args : {std::vector<std::string>{"/ver"}, {"/s", "/help"}, {"/sens", "/dmpusr"}}) {
        RunResult r = RunVemiCmd(args, o);
        EXPECT_EQ(r.exitStatus, 255) << args[0];
        EXPECT_EQ(r.err, kFailed);
    }
    // A large dump fails in the middle, not only at the final flush.
    o.boardJson = R"({"raw": [{"group": 1, "offset": 1, "size": 1000000, "pattern": "random"}]})";
    RunResult r = RunVemiCmd({"/ig:1", "/io:1", "/ibuf:X", "/olen:1000000"}, o);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.err, kFailed);
    o.boardJson = R"({"faults": [{"status": "0x708"}]})";
    r = RunVemiCmd({"/ver"}, o);
    EXPECT_EQ(r.exitStatus, 8);
    EXPECT_EQ(r.err, kFailed);
}

// The document's end is a write like any other: its failure keeps its cause.
TEST(Output, AFullDiskIsNamedInEveryStyle)
{
    for (const char* style : {"", "--json", "--prometheus"}) {
        RunResult r = RunVemisim({"--", "/bin/sh", "-c", VemiCmdPath() + " " + style + " /ver >/dev/full"});
        EXPECT_EQ(r.exitStatus, 255) << style;
        EXPECT_EQ(r.err, "VemiCmd: cannot write standard output: No space left on device\n") << style;
    }
}

TEST(Output, AClosedStandardOutputIsAnErrorAndNeverTheDevice)
{
    RunOptions o;
    o.output = Output::kClosed;
    RunResult r = RunVemiCmd({"/ver"}, o);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.err, "VemiCmd: cannot write standard output: Bad file descriptor\n");
    // The device node did not take descriptor 1: the reports' requests still went out.
    EXPECT_EQ(TraceLines(r.trace, "0x0/0x2"), "0x0/0x2 in=- out=12 status=0x0 returned=12\n");
}

} // namespace
