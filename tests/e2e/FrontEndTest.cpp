// The command line: switch matching, table order, option values, title line, exit status.
#include <gtest/gtest.h>

#include "RunTool.h"

namespace {

const char kVersionReport[] =
    "Vemilex Version:         2.01.0042\n"
    "Mainboard:               SIM-100\n"
    "MB-Rev:                  G3\n"
    "Bios Version:            10.05\n";
const char kAllPrompts[] = "IndexGroup:IndexOffset:InBuffer:OutBuffer Length:";

// A direct call to 0x0/0x0 without input or output, as an empty answer to every prompt gives.
const char kEmptyDirectCall[] =
    "IndexGroup:   0, IndexOffset:   0\n"
    "Result:   0\n"
    "Bytes Returned:0 \n"
    "InBuffer:\n"
    "OutBuffer:\n";

TEST(FrontEnd, VersionReportOnTheDefaultBoard)
{
    RunResult r = RunVemiCmd({"/ver"});
    EXPECT_EQ(r.out, std::string(kTitle) + kVersionReport);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.trace, "0x0/0x0 in=- out=4 status=0x0 returned=4\n"
                       "0x0/0x2 in=- out=12 status=0x0 returned=12\n");
}

TEST(FrontEnd, SilentModeDropsTheTitleWhereverTheSwitchStands)
{
    EXPECT_EQ(RunVemiCmd({"/s", "/ver"}).out, kVersionReport);
    EXPECT_EQ(RunVemiCmd({"/ver", "/s"}).out, kVersionReport);
    EXPECT_EQ(RunVemiCmd({"/silent", "/ver"}).out, kVersionReport);
}

TEST(FrontEnd, EachCommandRunsOnceAndInTableOrder)
{
    RunResult r = RunVemiCmd({"-ver", "/ver", "/ver"});
    EXPECT_EQ(r.out, std::string(kTitle) + kVersionReport);
    EXPECT_EQ(TraceLines(r.trace, "0x0/0x0"), "0x0/0x0 in=- out=4 status=0x0 returned=4\n");

    r = RunVemiCmd({"/wdt", "/ver"});
    ASSERT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.find(kVersionReport), std::string(kTitle).size()) << r.out;
    EXPECT_NE(r.out.find("Watchdog set to 5 sec"), std::string::npos);
}

TEST(FrontEnd, KeywordsArePrefixesOfTheSwitch)
{
    EXPECT_EQ(RunVemiCmd({"/version"}).out, std::string(kTitle) + kVersionReport);
    EXPECT_EQ(RunVemiCmd({"/s", "/sensors"}).out.substr(0, 3), "CPU");
    // "dmpusr" is tried before "d": a dump, no debug traces.
    RunResult r = RunVemiCmd({"/s", "/dmpusr"});
    EXPECT_EQ(r.out.find("VemiIoCall"), std::string::npos);
    EXPECT_EQ(r.out.substr(0, 5), "53 49");
    // "/debug" is the debug switch.
    r = RunVemiCmd({"/ver", "/debug"});
    EXPECT_EQ(r.out, std::string(kTitle) + "VemiIoCall\n" + "Vemilex Version:         2.01.0042\n" +
                         "VemiIoCall\n" + "Mainboard:               SIM-100\n" +
                         "MB-Rev:                  G3\n" + "Bios Version:            10.05\n" + "Close\n");
}

TEST(FrontEnd, WordsThatAreNoSwitchRunTheDirectCall)
{
    for (std::vector<std::string> args :
         {std::vector<std::string>{}, {"ver"}, {""}, {"/"}, {"/?"}, {"/unknown"}}) {
        RunResult r = RunVemiCmd(args);
        EXPECT_EQ(r.out, std::string(kTitle) + kAllPrompts + kEmptyDirectCall) << args.size();
        EXPECT_EQ(r.exitStatus, 0);
    }
}

TEST(FrontEnd, IndexValuesFollowStrtoulRules)
{
    struct Case {
        const char* arg;
        const char* shown;   // as the direct call prints it
        const char* traced;  // as the board saw it
    } cases[] = {
        {"/ig:0x8000", "8000", "0x8000"},
        {"/ig:8000", "8000", "0x8000"},
        {"/ig:-1", "FFFFFFFF", "0xFFFFFFFF"},
        {"/ig:123456789", "23456789", "0x23456789"},
        {"/ig:FFFFFFFFFFFFFFFFFFFF", "FFFFFFFF", "0xFFFFFFFF"}, // saturates, still accepted
        {"/ig: 12", "  12", "0x12"},
        {"-ig:+a", "   A", "0xA"},
    };
    for (const Case& c : cases) {
        RunResult r = RunVemiCmd({c.arg, "/io:0", "/ibuf:X", "/olen:0"});
        // Every value given: no prompt.
        EXPECT_EQ(r.out.substr(0, r.out.find('\n', sizeof(kTitle)) + 1),
                  std::string(kTitle) + "IndexGroup:" + c.shown + ", IndexOffset:   0\n")
            << c.arg;
        EXPECT_EQ(TraceLines(r.trace, "0x"), std::string(c.traced) + "/0x0 in=- out=0 status=0x701 returned=-\n")
            << c.arg;
        EXPECT_EQ(r.exitStatus, 1);
    }
}

TEST(FrontEnd, AnInvalidValueStopsParsingAndIsAskedFor)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
        const char* prompts;
    } cases[] = {
        {{"/ig:"}, "IndexGroup: Invalid Param! Hexadecimal value expected\n", kAllPrompts},
        {{"/ig:12g"}, "IndexGroup: Invalid Param! Hexadecimal value expected\n", kAllPrompts},
        {{"/ig:0x"}, "IndexGroup: Invalid Param! Hexadecimal value expected\n", kAllPrompts},
        {{"/io:zz", "/ig:1"}, "IndexOffset: Invalid Param! Hexadecimal value expected\n", kAllPrompts},
        {{"/olen:x", "/ver"}, "OutBufferLength: Invalid Param! Decimal value expected\n", kAllPrompts},
        {{"/olen:12", "/ig:1", "/olen:1x", "/ver"}, "OutBufferLength: Invalid Param! Decimal value expected\n",
         "IndexOffset:InBuffer:"},
    };
    for (const Case& c : cases) {
        RunOptions o;
        o.input = "8000 1 B:1 0\n";
        RunResult r = RunVemiCmd(c.args, o);
        // The message comes before the title; /ver after the bad value is never parsed.
        std::string expected = std::string(c.message) + kTitle + c.prompts;
        EXPECT_EQ(r.out.substr(0, expected.size()), expected) << c.args[0];
        EXPECT_EQ(r.out.find("Vemilex Version"), std::string::npos);
    }
    // The rejected value was asked for and the answers went out.
    RunOptions o;
    o.input = "8000 1 B:1 0\n";
    RunResult r = RunVemiCmd({"/olen:x", "/ver"}, o);
    EXPECT_EQ(TraceLines(r.trace, "0x"), "0x8000/0x1 in=01 out=0 status=0x0 returned=0\n");
    EXPECT_EQ(r.exitStatus, 0);
}

TEST(FrontEnd, ACommandMarkedBeforeABadValueStillRuns)
{
    RunResult r = RunVemiCmd({"/ver", "/ig:g", "/sens"});
    EXPECT_EQ(r.out, std::string("IndexGroup: Invalid Param! Hexadecimal value expected\n") + kTitle +
                         kVersionReport);
}

TEST(FrontEnd, OpeningTheNodeFailsWithoutTheDriver)
{
    RunOptions o;
    o.simulated = false;
    for (const char* arg : {"/ver", "/help"}) {
        RunResult r = RunVemiCmd({arg}, o);
        EXPECT_EQ(r.out, "Open '/dev/vemix' failed\n");
        EXPECT_EQ(r.exitStatus, 255);
    }
}

TEST(FrontEnd, DriverStatusesBecomeExitStatusesWithoutHidingFailures)
{
    struct Case {
        const char* status;
        const char* line;
        int exit;
    } cases[] = {
        {"0x701", "Function Reading Vemi Version not supported\n", 1},
        {"0x708", "Function Reading Vemi Version failed: Device Busy\n", 8},
        {"0x703", "Reading Vemi Version failed with error 0x0703\n", 3},
        {"0x12345", "Reading Vemi Version failed with error 0x12345\n", 0x45},
        // Low 8 bits 0 must not read as success.
        {"0x700", "Reading Vemi Version failed with error 0x0700\n", 255},
        {"0x600", "Reading Vemi Version failed with error 0x0600\n", 255},
    };
    for (const Case& c : cases) {
        RunOptions o;
        o.boardJson = std::string(R"({"faults": [{"group": 0, "offset": 0, "status": ")") + c.status + "\"}]}";
        RunResult r = RunVemiCmd({"/ver"}, o);
        EXPECT_EQ(r.out, std::string(kTitle) + c.line) << c.status;
        EXPECT_EQ(r.exitStatus, c.exit) << c.status;
        // The mainboard record is not read after a failed version read.
        EXPECT_EQ(TraceLines(r.trace, "0x0/0x2"), "");
    }
}

TEST(FrontEnd, DebugTracesShowFailedRequestsAndTheClose)
{
    RunOptions o;
    o.boardJson = R"({"faults": [{"group": 0, "offset": 2, "status": "0x708"}]})";
    RunResult r = RunVemiCmd({"/d", "/ver"}, o);
    EXPECT_EQ(r.out, std::string(kTitle) +
                         "VemiIoCall\n"
                         "Vemilex Version:         2.01.0042\n"
                         "VemiIoCall\n"
                         "VemiCall failed with status FFFFFFFF, errno 708\n"
                         "Function Reading Mainboard information failed: Device Busy\n"
                         "Close\n");
    EXPECT_EQ(r.exitStatus, 8);
}

TEST(VersionReport, FieldsAreFormattedAsTheDriverGivesThem)
{
    RunOptions o;
    o.boardJson = R"({"version": {"major": 1, "minor": 2, "build": 3},
                      "mainboard": {"name": "ABCDEFGH", "revision": 3, "biosMajor": "0x10", "biosMinor": 5}})";
    RunResult r = RunVemiCmd({"/s", "/ver"}, o);
    // A name of all 8 bytes has no terminator and prints as those 8 characters.
    EXPECT_EQ(r.out, "Vemilex Version:         1.02.0003\n"
                     "Mainboard:               ABCDEFGH\n"
                     "MB-Rev:                  G3\n"
                     "Bios Version:            10.05\n");

    o.boardJson = R"({"version": {"major": 255, "minor": 255, "build": 65535},
                      "mainboard": {"name": "", "revision": 255, "biosMajor": "0xAB", "biosMinor": "0xCD"}})";
    EXPECT_EQ(RunVemiCmd({"/s", "/ver"}, o).out, "Vemilex Version:         255.255.65535\n"
                                                 "Mainboard:               \n"
                                                 "MB-Rev:                  G255\n"
                                                 "Bios Version:            AB.CD\n");
}

} // namespace
