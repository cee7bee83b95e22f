// /sens: one line per sensor, value scaled by kind, the walk's end and its failures.
#include <gtest/gtest.h>

#include "RunTool.h"

namespace {

RunResult Sens(const std::string& board, std::vector<std::string> args = {"/s", "/sens"})
{
    RunOptions o;
    o.boardJson = board;
    return RunVemiCmd(args, o);
}

TEST(Sensors, DefaultBoardListsEverySensor)
{
    RunResult r = RunVemiCmd({"/sens"});
    EXPECT_EQ(r.out, std::string(kTitle) +
                         "CPU            :    45.00 C\n"
                         "System         :    38.00 C\n"
                         "12V            :    12.05 Volt\n"
                         "5V             :     5.02 Volt\n"
                         "3V3            :     3.31 Volt\n"
                         "CPU Fan        :  2400.00 RPM\n"
                         "12V Current    :     2.15 A\n"
                         "Intrusion      :     0.00 \n");
    EXPECT_EQ(r.exitStatus, 0);
}

TEST(Sensors, EveryKindAndNegativeReadings)
{
    RunResult r = Sens(R"({"sensors": [
        {"type": 1, "reading": -12, "description": "Outside"},
        {"type": 2, "reading": -1205, "description": "Negative"},
        {"type": 3, "reading": 32767, "description": "Fan"},
        {"type": 4, "reading": 7, "description": "Count"},
        {"type": 5, "reading": -150, "description": "Current"},
        {"type": 0, "reading": -32768, "description": "Kind 0"},
        {"type": 99, "reading": 1, "description": "Kind 99"}]})");
    EXPECT_EQ(r.out, "Outside        :   -12.00 C\n"
                     "Negative       :   -12.05 Volt\n"
                     "Fan            : 32767.00 RPM\n"
                     "Count          :     7.00 \n"
                     "Current        :    -1.50 A\n"
                     "Kind 0         : -32768.00 \n"
                     "Kind 99        :     1.00 \n");
}

TEST(Sensors, TwelveCharacterDescriptionsHaveNoTerminator)
{
    RunResult r = Sens(R"({"sensors": [{"type": 1, "reading": 1, "description": "ABCDEFGHIJKL"},
                                       {"type": 1, "reading": 2, "description": ""}]})");
    EXPECT_EQ(r.out, "ABCDEFGHIJKL   :     1.00 C\n"
                     "               :     2.00 C\n");
}

TEST(Sensors, AReadFailingInTheMiddleEndsTheListingWithItsStatus)
{
    RunResult r = Sens(R"({"faults": [{"group": "0x2000", "offset": 3, "status": "0x708"}]})");
    EXPECT_EQ(r.out, "CPU            :    45.00 C\n"
                     "System         :    38.00 C\n"
                     "Function Reading sensor failed: Device Busy\n");
    EXPECT_EQ(r.exitStatus, 8);
    // A failed walk stops the commands after it in table order.
    r = Sens(R"({"faults": [{"group": "0x2000", "offset": 3, "status": "0x700"}]})", {"/s", "/sens", "/dalv"});
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(TraceLines(r.trace, "0x5000"), "");
}

TEST(Sensors, NoSensorsOrNoCountIsAFailure)
{
    RunResult r = Sens(R"({"sensors": []})", {"/sens"});
    EXPECT_EQ(r.out, kTitle);
    EXPECT_EQ(r.exitStatus, 255);

    r = Sens(R"({"faults": [{"group": "0x2000", "offset": 0, "status": "0x701"}]})");
    EXPECT_EQ(r.out, "Function Reading max number of sensors not supported\n");
    EXPECT_EQ(r.exitStatus, 1);

    r = Sens(R"({"faults": [{"group": "0x2000", "offset": 1, "status": "0x42"}]})");
    EXPECT_EQ(r.out, "Reading sensor failed with error 0x0042\n");
    EXPECT_EQ(r.exitStatus, 0x42);
}

TEST(Sensors, AShortRecordDoesNotShowThePreviousSensor)
{
    // Sensor 2 answers with its kind only: no reading, no description of sensor 1.
    RunResult r = Sens(R"({"faults": [{"group": "0x2000", "offset": 2, "truncate": 4}]})");
    EXPECT_EQ(r.out.substr(0, 56), "CPU            :    45.00 C\n"
                                   "               :     0.00 C\n");
}

TEST(Sensors, TheCountIsReadOnceAndSensorsAreNumberedFromOne)
{
    RunResult r = Sens(R"({"sensorCount": 2})");
    EXPECT_EQ(r.trace, "0x2000/0x0 in=- out=4 status=0x0 returned=4\n"
                       "0x2000/0x1 in=- out=56 status=0x0 returned=56\n"
                       "0x2000/0x2 in=- out=56 status=0x0 returned=56\n");
    // A count of 0xFFFFFFFF is a count like any other, not "not read yet".
    r = Sens(R"({"sensorCount": 4294967295, "sensors": [{"type": 1, "reading": 1, "description": "X"}]})");
    EXPECT_EQ(TraceLines(r.trace, "0x2000/0x0"), "0x2000/0x0 in=- out=4 status=0x0 returned=4\n");
    EXPECT_EQ(r.exitStatus, 1);
    // A count read that writes nothing is no sensors.
    r = Sens(R"({"faults": [{"group": "0x2000", "offset": 0, "truncate": 0}]})");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitStatus, 255);
}

} // namespace
