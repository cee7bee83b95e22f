// The simulated board: it must treat a request like the real driver, never trusting it.
#include <gtest/gtest.h>

#include <errno.h>
#include <sys/mman.h>

#include <string>
#include <vector>

#include "BoardModel.h"
#include "VemiRequest.h"
#include "VemiStatus.h"

namespace {

struct Board {
    BoardModel model;
    std::vector<std::string> trace;
    explicit Board(const std::string& json = "{}")
    {
        BoardConfig config;
        std::string error;
        EXPECT_TRUE(ParseBoardText(json, &config, &error)) << error;
        BoardInit(&model, config);
        model.trace = [this](const std::string& line) { trace.push_back(line); };
    }
    uint32_t Call(uint32_t group, uint32_t offset, void* in, uint32_t inLen, void* out,
                  uint32_t outLen, uint32_t* counter)
    {
        vemix_struct r(group, offset, in, inLen, out, outLen, counter, nullptr);
        return BoardRequest(&model, &r);
    }
};

std::string ParseError(const std::string& json)
{
    BoardConfig config;
    std::string error;
    EXPECT_FALSE(ParseBoardText(json, &config, &error)) << json;
    return error;
}

// A page that cannot be touched: what a bad address in a request points at.
void* NoAccessPage()
{
    static void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return page;
}

} // namespace

// The messages for values out of place are in cases/vemisim.cases.
TEST(BoardFile, AFileThatIsNoJsonIsAnError)
{
    EXPECT_NE(ParseError("{\"name\": ").find("parse error"), std::string::npos);
}

TEST(BoardModel, BadAddressesGiveEfaultNeverACrash)
{
    Board b;
    uint8_t out[128];
    uint32_t counter = 0;
    void* bad = NoAccessPage();
    EXPECT_EQ(b.Call(0x7000, 0, nullptr, 0, bad, 128, &counter), (uint32_t)EFAULT);
    EXPECT_EQ(b.Call(0x7000, 0, nullptr, 0, out, 128, (uint32_t*)bad), (uint32_t)EFAULT);
    EXPECT_EQ(b.Call(0x6000, 0, bad, 1, nullptr, 0, &counter), (uint32_t)EFAULT);
    EXPECT_EQ(b.Call(0x7000, 0, nullptr, 0, nullptr, 128, &counter), (uint32_t)EFAULT);
    EXPECT_EQ(BoardRequest(&b.model, bad), (uint32_t)EFAULT);
    // An output area that ends on the bad page.
    uint8_t* edge = (uint8_t*)mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    mprotect(edge + 4096, 4096, PROT_NONE);
    EXPECT_EQ(b.Call(0x7000, 0, nullptr, 0, edge + 4096 - 64, 128, &counter), (uint32_t)EFAULT);
    EXPECT_EQ(b.Call(0x7000, 0, nullptr, 0, edge + 4096 - 128, 128, &counter), 0u);
    munmap(edge, 8192);
}

TEST(BoardModel, WritesAtMostTheOutputSizeAndCountsIt)
{
    Board b;
    uint8_t out[8];
    memset(out, 0xEE, sizeof(out));
    uint32_t counter = 99;
    EXPECT_EQ(b.Call(0x7000, 0, nullptr, 0, out, 5, &counter), 0u);
    EXPECT_EQ(counter, 5u);
    EXPECT_EQ(out[4], '1');
    EXPECT_EQ(out[5], 0xEE);
    EXPECT_EQ(b.Call(0x0, 0, nullptr, 0, nullptr, 0, &counter), 0u);
    EXPECT_EQ(counter, 0u);
    std::vector<uint8_t> huge(BOARD_MAX_INPUT + 1);
    EXPECT_EQ(b.Call(0x8000, 1, huge.data(), (uint32_t)huge.size(), nullptr, 0, &counter), (uint32_t)EINVAL);
    EXPECT_EQ(b.Call(0x9999, 0, nullptr, 0, nullptr, 0, &counter), 0x701u);
}

TEST(BoardModel, FaultsChangeStatusesWritesAndCounters)
{
    Board b(R"({"faults": [
        {"group": "0x2000", "sequence": [0, 0, "0x708"]},
        {"group": "0x7000", "offset": 0, "truncate": 4, "returned": 200}]})");
    uint8_t out[128] = {};
    uint32_t counter = 0;
    EXPECT_EQ(b.Call(0x2000, 0, nullptr, 0, out, 4, &counter), 0u);
    EXPECT_EQ(b.Call(0x2000, 1, nullptr, 0, out, 56, &counter), 0u);
    EXPECT_EQ(b.Call(0x2000, 2, nullptr, 0, out, 56, &counter), 0x708u);
    EXPECT_EQ(b.Call(0x2000, 3, nullptr, 0, out, 56, &counter), 0x708u); // the last status holds
    memset(out, 0, sizeof(out));
    EXPECT_EQ(b.Call(0x7000, 0, nullptr, 0, out, 128, &counter), 0u);
    EXPECT_EQ(counter, 200u);
    EXPECT_EQ(out[3], 0x2D);
    EXPECT_EQ(out[4], 0);
}

TEST(BoardModel, WatchdogRestartsTheMachineWhenNotRetriggered)
{
    Board b;
    uint32_t counter = 0;
    uint8_t five = 5, zero = 0;
    b.Call(0x6000, 0, &five, 1, nullptr, 0, &counter);
    BoardAdvanceClock(&b.model, 4000);
    b.Call(0x6000, 6, nullptr, 0, nullptr, 0, &counter);
    BoardAdvanceClock(&b.model, 4000);
    b.Call(0x6000, 0, &zero, 1, nullptr, 0, &counter);
    BoardAtExit(&b.model);
    for (const std::string& line : b.trace)
        EXPECT_EQ(line.find("restart"), std::string::npos) << line;

    b.Call(0x6000, 0, &five, 1, nullptr, 0, &counter);
    BoardAdvanceClock(&b.model, 6000);
    EXPECT_EQ(b.trace.back(), "event restart: watchdog expired after 5 s without retrigger");
    b.Call(0x6000, 0, &five, 1, nullptr, 0, &counter);
    BoardAtExit(&b.model);
    EXPECT_EQ(b.trace.back(), "event restart: watchdog left armed (5 s) when the program ended");
}

// A gap a retrigger's time short of the interval still reads as the interval.
TEST(BoardModel, TheDisarmsWholeSecondsCountAGapJustShortOfOne)
{
    for (auto [gapMs, said] : {std::pair<int, const char*>{1950, "after 2 s: 0 retriggers, at most 2 s without one"},
                               {1949, "after 1 s: 0 retriggers, at most 1 s without one"}}) {
        Board b;
        uint32_t counter = 0;
        uint8_t five = 5, zero = 0;
        b.Call(0x6000, 0, &five, 1, nullptr, 0, &counter);
        BoardAdvanceClock(&b.model, gapMs);
        b.Call(0x6000, 0, &zero, 1, nullptr, 0, &counter);
        EXPECT_NE(b.trace.back().find(said), std::string::npos) << b.trace.back();
    }
}

TEST(BoardModel, ReplayAnswersInRecordedOrderAndMarksTheUnknown)
{
    Board b(R"({"recording": [
        {"group": "0x8000", "offset": "0x1", "in": "01", "status": "0x0", "out": "", "returned": 0},
        {"group": "0x8000", "offset": "0x1", "in": "01", "status": "0x708", "out": "", "returned": 0},
        {"group": "0x0", "offset": "0x0", "in": "", "status": "0x0", "out": "0201", "returned": 4}]})");
    uint8_t one = 1, out[4] = {};
    uint32_t counter = 0;
    EXPECT_EQ(b.Call(0x8000, 1, &one, 1, nullptr, 0, &counter), 0u);
    EXPECT_EQ(b.Call(0x8000, 1, &one, 1, nullptr, 0, &counter), 0x708u);
    std::vector<std::string> warnings;
    b.model.warn = [&](const std::string& line) { warnings.push_back(line); };
    EXPECT_EQ(b.Call(0x8000, 1, &one, 1, nullptr, 0, &counter), (uint32_t)EIO);
    EXPECT_EQ(b.Call(0x8000, 1, &one, 1, nullptr, 0, &counter), (uint32_t)EIO);
    EXPECT_EQ(b.trace.back(), "0x8000/0x1 in=01 out=0 status=0x5 returned=- unmatched");
    EXPECT_EQ(warnings, std::vector<std::string>{"the recording holds no answer to 0x8000/0x1 in=01; answering EIO"});
    EXPECT_EQ(b.Call(0x0, 0, nullptr, 0, out, 4, &counter), 0u);
    EXPECT_EQ(counter, 4u);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 1);
}

TEST(BoardModel, RandomPatternIsTheSameWhateverTheSlices)
{
    RawServiceDef raw;
    raw.pattern = RawServiceDef::kRandom;
    raw.seed = 7;
    std::vector<uint8_t> whole(1000), pieces(1000);
    FillPattern(raw, 0, whole.data(), whole.size());
    for (size_t at = 0; at < 1000; at += 13)
        FillPattern(raw, at, pieces.data() + at, std::min<size_t>(13, 1000 - at));
    EXPECT_EQ(whole, pieces);
}
