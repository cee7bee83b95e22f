// The tool against a driver that answers badly: records full to the last byte with
// no terminator, counters larger than any buffer, sensor counts without end.
// In the sanitizer build any read or write outside a buffer fails these tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InProcessRun.h"

namespace {

struct Outcome {
    int status;
    std::string out;
};

Outcome RunOn(const std::string& json, std::vector<std::string> args, const std::string& input = "")
{
    BoardConfig config;
    std::string error;
    EXPECT_TRUE(ParseBoardText(json, &config, &error)) << error;
    BoardModel model;
    BoardInit(&model, config);
    Outcome o;
    o.status = RunToolInProcess(args, (const uint8_t*)input.data(), input.size(), &model, &o.out);
    return o;
}

std::string Raw(uint32_t group, uint32_t offset, size_t len, const char* byte = "FF")
{
    std::string bytes;
    for (size_t i = 0; i < len; i++)
        bytes += byte;
    return "{\"group\": " + std::to_string(group) + ", \"offset\": " + std::to_string(offset) +
           ", \"bytes\": \"" + bytes + "\"}";
}

TEST(HostileDriver, RecordsWithoutTerminatorsStayInsideTheirFields)
{
    // Every text field full of 'A' (0x41), and the answers longer than the records.
    std::string json = "{\"raw\": [" + Raw(0, 2, 40, "41") + "," + Raw(0x2000, 0, 1, "01") + ",";
    std::string sensor;
    for (int i = 0; i < 100; i++)
        sensor += "41";
    json += "{\"group\": 8192, \"offset\": 1, \"bytes\": \"01000000 00000000 E803" + sensor + "\"}]}";
    Outcome o = RunOn(json, {"/s", "/ver", "/sens"});
    EXPECT_EQ(o.out, "Vemilex Version:         2.01.0042\n"
                     "Mainboard:               AAAAAAAA\n"
                     "MB-Rev:                  G65\n"
                     "Bios Version:            41.41\n"
                     "AAAAAAAAAAAA   :  1000.00 C\n");
    EXPECT_EQ(o.status, 0);
}

TEST(HostileDriver, CountersLargerThanTheBufferAreBounded)
{
    Outcome o = RunOn(R"({"faults": [{"returned": 4294967295}]})", {"/s", "/dmpusr"});
    EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 8);
    // The direct call dumps its area, never what the counter claims.
    o = RunOn(R"({"faults": [{"returned": 4294967295}]})", {"/s", "/ig:7000", "/io:0", "/ibuf:X", "/olen:3"});
    EXPECT_EQ(o.out, "53 49 4D\n");
    o = RunOn(R"({"faults": [{"returned": 4294967295}]})", {"/ig:7000", "/io:0", "/ibuf:X", "/olen:1"});
    EXPECT_NE(o.out.find("Bytes Returned:4294967295 \n"), std::string::npos);
}

TEST(HostileDriver, AHugeSensorCountEndsAtTheFirstFailingRead)
{
    Outcome o = RunOn(R"({"sensorCount": 4294967294, "sensors": [{"type": 1, "reading": 1, "description": "X"}]})",
                    {"/s", "/sens"});
    EXPECT_EQ(o.out, "X              :     1.00 C\nFunction Reading sensor not supported\n");
    EXPECT_EQ(o.status, 1);
}

TEST(HostileDriver, ShortAnswersLeaveZeroedRecords)
{
    std::string json = "{\"raw\": [" + Raw(0x5000, 0xA0, 1, "10") + "," + Raw(0x5000, 0xA1, 3, "FF") + "," +
                       Raw(0x5000, 4, 5, "FF") + "]}";
    Outcome o = RunOn(json, {"/s", "/dalv"});
    EXPECT_NE(o.out.find("PwrFail Time[0]:         4294967295\nPwrFail Time[1]:         255\n"
                         "PwrFail Time[2]:         0\n"),
              std::string::npos);
    EXPECT_NE(o.out.find("GPIO Info:   Addr(IO): 0x0010 Bitmask: 0x00\n"), std::string::npos);
    EXPECT_NE(o.out.find("GPIO InfoEx: Addr: 0x0000000000000000 Bitmask: 0x0000000000000000\n"
                         "             Type: 0xFFFF Length: 0x00FF Flags: 0x0000\n"),
              std::string::npos);
}

TEST(HostileDriver, ThePromptWordIsCappedAt255Characters)
{
    // 300 characters at the InBuffer prompt: the definition gets 255 of them.
    std::string input = "8000 1 A:" + std::string(298, 'y') + " 0";
    BoardModel* board = FreshDefaultBoard();
    std::vector<std::string> trace;
    board->trace = [&](const std::string& line) { trace.push_back(line); };
    RunToolInProcess({"/s"}, (const uint8_t*)input.data(), input.size(), board);
    ASSERT_FALSE(trace.empty());
    std::string hex;
    for (int i = 0; i < 253; i++)
        hex += "79";
    EXPECT_EQ(trace[0].substr(0, 14 + hex.size() + 2), "0x8000/0x1 in=" + hex + "00");
    board->trace = nullptr;
}

TEST(HostileDriver, InProcessRunsAreRepeatable)
{
    std::string first, second;
    RunToolInProcess({"/ver", "/sens", "/dalv", "/dmpusr", "/wdt"}, nullptr, 0, FreshDefaultBoard(), &first);
    RunToolInProcess({"/ver", "/sens", "/dalv", "/dmpusr", "/wdt"}, nullptr, 0, FreshDefaultBoard(), &second);
    EXPECT_EQ(first, second);
    EXPECT_NE(first.find("Disabling Wdt succeeded"), std::string::npos);
}

} // namespace
