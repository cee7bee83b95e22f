// The boards shipped with vemisim: each models a situation a script must handle.
#include <gtest/gtest.h>

#include "RunTool.h"

namespace {

RunResult OnBoard(const std::string& board, std::vector<std::string> args)
{
    RunOptions o;
    o.board = board;
    args.insert(args.begin(), "/s");
    return RunVemiCmd(args, o);
}

TEST(BoardLibrary, ListsEveryBoardWithOneLine)
{
    RunResult r = RunVemisim({"--list-boards"});
    EXPECT_EQ(r.exitStatus, 0);
    for (const char* name : {"busy", "default", "full-names", "no-gpio-ex", "no-sensors", "no-ups", "ups-on-battery"})
        EXPECT_NE(("\n" + r.out).find(std::string("\n") + name + " "), std::string::npos) << name;
}

TEST(BoardLibrary, EachBoardShowsItsSituation)
{
    RunResult r = OnBoard("default", {"/ver"});
    EXPECT_EQ(r.out.substr(0, 35), "Vemilex Version:         2.01.0042\n");

    r = OnBoard("ups-on-battery", {"/dalv"});
    EXPECT_EQ(r.out.substr(0, 44), "Status:                  Discharging -> 40%\n");
    EXPECT_EQ(r.exitStatus, 0);

    r = OnBoard("no-ups", {"/dalv"});
    EXPECT_EQ(r.out, "Service not Supported\n");
    EXPECT_EQ(r.exitStatus, 0);

    r = OnBoard("no-gpio-ex", {"/dalv"});
    EXPECT_NE(r.out.find("GPIO InfoEx: not supported\n"), std::string::npos);
    EXPECT_EQ(r.exitStatus, 3);

    r = OnBoard("busy", {"/ver"});
    EXPECT_EQ(r.out, "Function Reading Vemi Version failed: Device Busy\n");
    EXPECT_EQ(r.exitStatus, 8);
    r = OnBoard("busy", {"/ig:8000", "/io:1", "/ibuf:B:1", "/olen:0"});
    EXPECT_EQ(r.out, "VemiCall failed with Error: 708\n");

    r = OnBoard("no-sensors", {"/sens"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitStatus, 255);

    r = OnBoard("full-names", {"/ver", "/sens"});
    EXPECT_EQ(r.out, "Vemilex Version:         2.01.0042\n"
                     "Mainboard:               BOARD-8X\n"
                     "MB-Rev:                  G12\n"
                     "Bios Version:            2A.0F\n"
                     "CPU Die Temp   :    52.00 C\n"
                     "12V Rail Mon   :    11.97 Volt\n"
                     "Chassis Fan1   :  3150.00 RPM\n");
}

} // namespace
