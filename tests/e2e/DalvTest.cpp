// /dalv: UPS state, power-fail data and GPIO wiring; only the extended record decides the result.
#include <gtest/gtest.h>

#include "RunTool.h"

namespace {

RunResult Dalv(const std::string& board)
{
    RunOptions o;
    o.boardJson = board;
    return RunVemiCmd({"/s", "/dalv"}, o);
}

std::string Line(const std::string& out, int n)
{
    size_t at = 0;
    for (int i = 0; i < n; i++)
        at = out.find('\n', at) + 1;
    return out.substr(at, out.find('\n', at) - at);
}

TEST(Dalv, DefaultBoardReport)
{
    RunResult r = RunVemiCmd({"/dalv"});
    EXPECT_EQ(r.out, std::string(kTitle) +
                         "Status:                  Charging -> 70%\n"
                         "DALV Version:            1.05\n"
                         "PwrFail Counter:         3\n"
                         "PwrFail Time[0]:         120\n"
                         "PwrFail Time[1]:         45\n"
                         "PwrFail Time[2]:         3600\n"
                         "GPIO Info:   Addr(IO): 0x052C Bitmask: 0x08\n"
                         "GPIO InfoEx: Addr: 0x000000000000052C Bitmask: 0x0000000000000008\n"
                         "             Type: 0x0001 Length: 0x0018 Flags: 0x0001\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.trace, "0x5000/0x1 in=- out=1 status=0x0 returned=1\n"
                       "0x5000/0x2 in=- out=2 status=0x0 returned=2\n"
                       "0x5000/0x3 in=- out=2 status=0x0 returned=2\n"
                       "0x5000/0x4 in=- out=12 status=0x0 returned=12\n"
                       "0x5000/0xA0 in=- out=8 status=0x0 returned=8\n"
                       "0x5000/0xA1 in=- out=24 status=0x0 returned=24\n");
}

TEST(Dalv, StateLines)
{
    struct Case {
        const char* status;
        const char* line;
    } cases[] = {
        {"0xC7", "Status:                  Charging -> 70%"},
        {"0xD3", "Status:                  Discharging -> 30%"},
        {"0xDF", "Status:                  Discharging -> 150%"},
        {"0xA0", "Status:                  DALV Disabled"},
        {"0xA9", "Status:                  DALV Disabled"},
        {"0x25", "Status:                  0x25"},
        {"0xFF", "Status:                  0xFF"},
        {"0", "Status:                  0x0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Line(Dalv(std::string(R"({"ups": {"status": ")") + c.status + "\"}}").out, 0), c.line);
}

TEST(Dalv, AFailedStatusReadLeavesZeroAndTheReportGoesOnButFails)
{
    RunResult r = Dalv(R"({"faults": [{"group": "0x5000", "offset": 1, "status": "0x708"}]})");
    EXPECT_EQ(Line(r.out, 0), "Status:                  0x0");
    EXPECT_EQ(Line(r.out, 1), "DALV Version:            1.05");
    EXPECT_EQ(r.exitStatus, 8);
}

TEST(Dalv, NoUpsServiceIsAnAnswerNotAFailure)
{
    RunOptions o;
    o.boardJson = R"({"faults": [{"group": "0x5000", "status": "0x701"}]})";
    RunResult r = RunVemiCmd({"/dalv"}, o);
    EXPECT_EQ(r.out, std::string(kTitle) + "Service not Supported\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(TraceLines(r.trace, ""), "0x5000/0x1 in=- out=1 status=0x701 returned=-\n");
}

TEST(Dalv, ValuesOfFailedReadsAreShownAsTheyStandAndTheFirstFailureIsTheResult)
{
    RunResult r = Dalv(R"({"faults": [{"group": "0x5000", "offset": 2, "status": "0x708"},
                                      {"group": "0x5000", "offset": 4, "status": "0x708"}]})");
    EXPECT_EQ(Line(r.out, 1), "DALV Version:            0.00");
    EXPECT_EQ(Line(r.out, 2), "PwrFail Counter:         3");
    EXPECT_EQ(Line(r.out, 3), "PwrFail Time[0]:         0");
    // Each read failing first, with the GPIO record failing after it.
    for (int offset : {2, 3, 4}) {
        r = Dalv(R"({"faults": [{"group": "0x5000", "offset": )" + std::to_string(offset) +
                 R"(, "status": ")" + std::to_string(0x30 + offset) +
                 R"("}, {"group": "0x5000", "offset": "0xA0", "status": "0x708"}]})");
        EXPECT_EQ(r.exitStatus, 0x30 + offset) << offset;
    }
}

TEST(Dalv, GpioSumIsAPlainIntegerSum)
{
    RunResult r = Dalv(R"({"ups": {"gpio": {"address": "0xFFFF", "offset": "0x10", "bitmask": "0xFF"},
        "gpioEx": {"type": "0xFFFF", "length": 0, "flags": "0xABCD",
                   "address": "0xFEDCBA9876543210", "bitmask": "0xFFFFFFFFFFFFFFFF"}}})");
    EXPECT_EQ(Line(r.out, 6), "GPIO Info:   Addr(IO): 0x1000F Bitmask: 0xFF");
    EXPECT_EQ(Line(r.out, 7), "GPIO InfoEx: Addr: 0xFEDCBA9876543210 Bitmask: 0xFFFFFFFFFFFFFFFF");
    EXPECT_EQ(Line(r.out, 8), "             Type: 0xFFFF Length: 0x0000 Flags: 0xABCD");
}

TEST(Dalv, GpioReadsNotSupportedOrFailing)
{
    struct Case {
        const char* a0;
        const char* a1;
        const char* gpio;
        const char* gpioEx;
        int exit;
    } cases[] = {
        {"0x701", "0x703", "GPIO Info:   not supported", "GPIO InfoEx: not supported", 3},
        {"0x703", "0x701", "GPIO Info:   not supported", "GPIO InfoEx: not supported", 1},
        {"0x708", "0x7AB", "GPIO Info:   read failed with error 0x708", "GPIO InfoEx: read failed with error 0x7ab", 8},
        {"0x5", "0x0", "GPIO Info:   read failed with error 0x5", "", 5},
        {"0x708", "0x701", "GPIO Info:   read failed with error 0x708", "GPIO InfoEx: not supported", 8},
    };
    for (const Case& c : cases) {
        RunResult r = Dalv(std::string(R"({"faults": [{"group": "0x5000", "offset": "0xA0", "status": ")") + c.a0 +
                           R"("}, {"group": "0x5000", "offset": "0xA1", "status": ")" + c.a1 + "\"}]}");
        EXPECT_EQ(Line(r.out, 6), c.gpio);
        if (*c.gpioEx) {
            EXPECT_EQ(Line(r.out, 7), c.gpioEx);
        }
        EXPECT_EQ(r.exitStatus, c.exit) << c.a1;
    }
}

} // namespace
