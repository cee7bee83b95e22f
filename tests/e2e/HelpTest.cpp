#include <gtest/gtest.h>

#include "RunTool.h"

namespace {

const char kHelp[] =
    "VemiCmd  \n"
    "  /?        This Dialog\n"
    "  /ver      Displays API- and Biosversion\n"
    "  /sens     Shows all Sensor-Values\n"
    "  /dalv     DALV Informations\n"
    "  /dmpusr   dump UserEEPROM\n"
    "  /wdt      test Watchdog\n"
    "            t: Watchdogtime in second\n"
    "            r: retriggertime in second\n"
    "\n"
    "Vemilex direct Call:\n"
    "  /ig:      IndexGroup(Hex)\n"
    "  /io:      IndexOffset(Hex)\n"
    "  /ibuf:    Type:Inbuffer\n"
    "  /olen:    OutBuffer size(Decimal)\n"
    "  /s        silent mode\n"
    "\n"
    "Inbuffer formats:\n"
    "\t/ibuf:A:<ansi string>\n"
    "\t/ibuf:B:<byte (HEX)>,<byte (HEX)>,...\n"
    "\t/ibuf:W:<word (HEX)>,<word (HEX)>,...\n"
    "\t/ibuf:D:<dword (HEX)>,<dword (HEX)>,...\n"
    "Examples:\n"
    "  Show all sensor values:\n"
    "   VemiCmd /sens\n"
    "\n"
    "  Vemilex direct Call: Turn USR LED red\n"
    "   VemiCmd /ig:0x8000 /io:0x1 /ibuf:B:1 /olen:0\n";

TEST(Help, ScreenWithAndWithoutTitle)
{
    RunResult r = RunVemiCmd({"/help"});
    EXPECT_EQ(r.out, std::string("Vemilex Commandline Tool 1.00.0001\n") + kHelp);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.trace, ""); // no device access
    EXPECT_EQ(RunVemiCmd({"/s", "/help"}).out, kHelp);
    // Help comes first in table order and does not stop the other commands.
    EXPECT_EQ(RunVemiCmd({"/s", "/ver", "-help"}).out.substr(0, sizeof(kHelp) - 1), kHelp);
}

} // namespace
