// /wdt: arm, retrigger, disarm; and never leave the watchdog armed by accident.
#include <gtest/gtest.h>

#include <signal.h>

#include "RunTool.h"

namespace {

const char kArmed[] =
    "Watchdog set to 5 sec\n"
    "Retrigger every 2 sec\n"
    "Retriggering...(please Wait)\n"
    "Press any key to abort retriggering(cause restart!)\n";
const char kFullRun[] =
    "0x6000/0x4 in=01 out=0 status=0x0 returned=0\n"
    "0x6000/0x0 in=05 out=0 status=0x0 returned=0\n"
    "0x6000/0x6 in=- out=0 status=0x0 returned=0\n"
    "0x6000/0x6 in=- out=0 status=0x0 returned=0\n"
    "0x6000/0x6 in=- out=0 status=0x0 returned=0\n"
    "0x6000/0x6 in=- out=0 status=0x0 returned=0\n"
    "0x6000/0x6 in=- out=0 status=0x0 returned=0\n"
    "0x6000/0x0 in=00 out=0 status=0x0 returned=0\n";

RunResult Wdt(const std::string& board, RunOptions o = {})
{
    o.boardJson = board;
    return RunVemiCmd({"/wdt"}, o);
}

TEST(Watchdog, AFullRunArmsRetriggersFiveTimesAndDisarms)
{
    RunResult r = RunVemiCmd({"/wdt"});
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed + "Wdt was retrigger 5 times\nDisabling Wdt succeeded\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.trace, kFullRun);
}

TEST(Watchdog, TenSecondsInRealTime)
{
    RunOptions o;
    o.fastClock = false;
    RunResult r = RunVemiCmd({"/s", "/wdt"}, o);
    EXPECT_EQ(r.out, std::string(kArmed) + "Wdt was retrigger 5 times\nDisabling Wdt succeeded\n");
    EXPECT_EQ(r.trace, kFullRun);
}

TEST(Watchdog, PowerControlStep)
{
    RunResult r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 4, "status": "0x701"}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed + "Wdt was retrigger 5 times\nDisabling Wdt succeeded\n");
    EXPECT_EQ(r.exitStatus, 0);

    r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 4, "status": "0x708"}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + "Enabling Wdt PwrCtrl-Mode failed with error 0x0708\n");
    EXPECT_EQ(r.exitStatus, 8);
    EXPECT_EQ(r.trace, "0x6000/0x4 in=01 out=0 status=0x708 returned=-\n"); // never armed
}

TEST(Watchdog, AFailingArm)
{
    RunResult r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 0, "status": "0x708"}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + "Function Setting Wdt time failed: Device Busy\n");
    EXPECT_EQ(r.exitStatus, 8);
}

TEST(Watchdog, AFailedRetriggerDisarmsInsteadOfRestartingTheMachine)
{
    RunResult r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 6, "sequence": [0, "0x708"]}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed +
                         "Function Retriggering Wdt failed: Device Busy\n"
                         "Disabling Wdt succeeded\n");
    EXPECT_EQ(r.exitStatus, 8);
    EXPECT_EQ(r.trace, "0x6000/0x4 in=01 out=0 status=0x0 returned=0\n"
                       "0x6000/0x0 in=05 out=0 status=0x0 returned=0\n"
                       "0x6000/0x6 in=- out=0 status=0x0 returned=0\n"
                       "0x6000/0x6 in=- out=0 status=0x708 returned=-\n"
                       "0x6000/0x0 in=00 out=0 status=0x0 returned=0\n");

    // The disarm failing too is reported; the result stays the retrigger's.
    r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 6, "status": "0x33"},
                           {"group": "0x6000", "offset": 0, "sequence": [0, "0x708"]}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed +
                         "Retriggering Wdt failed with error 0x0033\n"
                         "Function Disabling Wdt failed: Device Busy\n");
    EXPECT_EQ(r.exitStatus, 0x33);
    EXPECT_NE(r.trace.find("event restart"), std::string::npos); // nothing could stop it
}

TEST(Watchdog, AFailedDisarmIsTheResult)
{
    RunResult r = Wdt(R"({"faults": [{"group": "0x6000", "offset": 0, "sequence": [0, "0x701"]}]})");
    EXPECT_EQ(r.out, std::string(kTitle) + kArmed +
                         "Wdt was retrigger 5 times\nFunction Disabling Wdt not supported\n");
    EXPECT_EQ(r.exitStatus, 1);
}

TEST(Watchdog, ArgumentsDoNotChangeTheTimes)
{
    RunResult r = RunVemiCmd({"/wdt", "t:1", "/r:1", "-t:9"});
    EXPECT_EQ(r.trace, kFullRun);
}

TEST(Watchdog, ASignalDisarmsAndEndsTheRunAsTheSignalWould)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        RunOptions o;
        o.fastClock = false;
        o.signal = sig;
        o.signalAfterMs = 1200;
        RunResult r = RunVemiCmd({"/s", "/wdt"}, o);
        EXPECT_EQ(r.signal, sig);
        EXPECT_EQ(r.out, std::string(kArmed) + "Disabling Wdt succeeded\n");
        EXPECT_EQ(r.trace, "0x6000/0x4 in=01 out=0 status=0x0 returned=0\n"
                           "0x6000/0x0 in=05 out=0 status=0x0 returned=0\n"
                           "0x6000/0x6 in=- out=0 status=0x0 returned=0\n"
                           "0x6000/0x0 in=00 out=0 status=0x0 returned=0\n");
    }
}

TEST(Watchdog, AKeyOnTheTerminalStopsRetriggeringAndLeavesItArmed)
{
    RunOptions o;
    o.fastClock = false;
    o.keyAfterMs = 2500;
    RunResult r = RunVemiCmd({"/s", "/wdt"}, o);
    EXPECT_EQ(r.out, std::string(kArmed) +
                         "Retriggering stopped by key press: the watchdog will restart the machine\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(r.terminalSane);
    EXPECT_EQ(TraceLines(r.trace, "0x6000/0x0"), "0x6000/0x0 in=05 out=0 status=0x0 returned=0\n");
    EXPECT_NE(r.trace.find("event restart"), std::string::npos);
}

TEST(Watchdog, InputThatIsNoTerminalIsNotRead)
{
    RunOptions o;
    o.input = "x\n";
    RunResult r = RunVemiCmd({"/s", "/wdt"}, o);
    EXPECT_EQ(r.out, std::string(kArmed) + "Wdt was retrigger 5 times\nDisabling Wdt succeeded\n");
}

} // namespace
