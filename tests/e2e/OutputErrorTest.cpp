// Output is the product: a run whose output could not be written must not end as success.
#include <gtest/gtest.h>

#include "RunTool.h"

namespace {

const char kFullDisk[] = "VemiCmd: cannot write standard output: No space left on device\n";

TEST(OutputErrors, AFullDiskEndsWith255AndOneLineOnStandardError)
{
    RunOptions o;
    o.output = Output::kPath;
    o.stdoutPath = "/dev/full";
    for (std::vector<std::string> args : {std::vector<std::string>{"/ver"}, {"/s", "/help"}, {"/sens", "/dmpusr"}}) {
        RunResult r = RunVemiCmd(args, o);
        EXPECT_EQ(r.exitStatus, 255) << args[0];
        EXPECT_EQ(r.err, kFullDisk);
    }
    // A large dump fails in the middle, not only at the final flush.
    o.boardJson = R"({"raw": [{"group": 1, "offset": 1, "size": 1000000, "pattern": "random"}]})";
    RunResult r = RunVemiCmd({"/ig:1", "/io:1", "/ibuf:X", "/olen:1000000"}, o);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.err, kFullDisk);
}

TEST(OutputErrors, AFailureStatusIsKept)
{
    RunOptions o;
    o.output = Output::kPath;
    o.stdoutPath = "/dev/full";
    o.boardJson = R"({"faults": [{"status": "0x708"}]})";
    RunResult r = RunVemiCmd({"/ver"}, o);
    EXPECT_EQ(r.exitStatus, 8);
    EXPECT_EQ(r.err, kFullDisk);
}

TEST(OutputErrors, AClosedStandardOutputIsAnErrorAndNeverTheDevice)
{
    RunOptions o;
    o.output = Output::kClosed;
    RunResult r = RunVemiCmd({"/ver"}, o);
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.err, "VemiCmd: cannot write standard output: Bad file descriptor\n");
    // The device node did not take descriptor 1: the reports' requests still went out.
    EXPECT_EQ(TraceLines(r.trace, "0x0/0x2"), "0x0/0x2 in=- out=12 status=0x0 returned=12\n");
}

TEST(OutputErrors, NothingOnStandardErrorWhenAllWasWritten)
{
    RunResult r = RunVemiCmd({"/ver", "/sens", "/dalv", "/dmpusr"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
}

} // namespace
