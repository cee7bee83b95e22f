// /dmpusr: the user EEPROM as a hex dump, bounded by the counter and the 128-byte area.
#include <gtest/gtest.h>

#include "RunTool.h"

namespace {

std::string Fault(const std::string& what)
{
    return R"({"faults": [{"group": "0x7000", "offset": 0, )" + what + "}]}";
}

int Lines(const std::string& s)
{
    return (int)std::count(s.begin(), s.end(), '\n');
}

TEST(UserEeprom, FullAndBareForms)
{
    RunResult r = RunVemiCmd({"/dmpusr"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(Lines(r.out), 9);
    EXPECT_EQ(r.out.substr(0, sizeof(kTitle) - 1 + 80),
              std::string(kTitle) + "  00000000: 53 49 4D 2D 31 30 30 20-75 73 65 72 20 61 72 65  *SIM-100 user are*\n");
    EXPECT_NE(r.out.find("\n  00000070: "), std::string::npos);

    r = RunVemiCmd({"/dmpusr", "/s"});
    EXPECT_EQ(Lines(r.out), 8);
    EXPECT_EQ(r.out.substr(0, 48), "53 49 4D 2D 31 30 30 20 75 73 65 72 20 61 72 65\n");
    EXPECT_EQ(r.out.size(), 8u * 48);
}

TEST(UserEeprom, TheCounterDecidesHowMuchIsShownButNeverMoreThan128)
{
    RunOptions o;
    o.boardJson = Fault(R"("returned": 0)");
    EXPECT_EQ(RunVemiCmd({"/dmpusr"}, o).out, kTitle);
    EXPECT_EQ(RunVemiCmd({"/s", "/dmpusr"}, o).out, "\n");

    o.boardJson = Fault(R"("returned": 17)");
    EXPECT_EQ(RunVemiCmd({"/s", "/dmpusr"}, o).out,
              "53 49 4D 2D 31 30 30 20 75 73 65 72 20 61 72 65\n61\n");

    // More than the area: 128 bytes, no more.
    o.boardJson = Fault(R"("returned": 100000)");
    EXPECT_EQ(Lines(RunVemiCmd({"/s", "/dmpusr"}, o).out), 8);

    // A driver that writes 4 bytes and reports 20 shows zeros, not old stack bytes.
    o.boardJson = Fault(R"("truncate": 4, "returned": 20)");
    EXPECT_EQ(RunVemiCmd({"/s", "/dmpusr"}, o).out,
              "53 49 4D 2D 00 00 00 00 00 00 00 00 00 00 00 00\n00 00 00 00\n");
}

TEST(UserEeprom, FailuresUseTheStandardWording)
{
    RunOptions o;
    o.boardJson = Fault(R"("status": "0x708")");
    RunResult r = RunVemiCmd({"/dmpusr"}, o);
    EXPECT_EQ(r.out, std::string(kTitle) + "Function Reading user eeprom failed: Device Busy\n");
    EXPECT_EQ(r.exitStatus, 8);

    o.boardJson = Fault(R"("status": "0x701")");
    r = RunVemiCmd({"/s", "/dmpusr"}, o);
    EXPECT_EQ(r.out, "Function Reading user eeprom not supported\n");
    EXPECT_EQ(r.exitStatus, 1);
}

TEST(UserEeprom, ShortEepromContentReadsAsErased)
{
    RunOptions o;
    o.boardJson = R"({"userEeprom": "41 42"})";
    RunResult r = RunVemiCmd({"/s", "/dmpusr"}, o);
    EXPECT_EQ(r.out.substr(0, 48), "41 42 FF FF FF FF FF FF FF FF FF FF FF FF FF FF\n");
}

} // namespace
