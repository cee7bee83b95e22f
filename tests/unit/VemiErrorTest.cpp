// Wording of request outcomes, and how a run's result becomes the exit status.
#include <gtest/gtest.h>

#include "CaptureStdout.h"
#include "ExitStatus.h"
#include "VemiInterface.h"

TEST(PrintVemiError, EachStatusHasItsWording)
{
    struct Case {
        uint32_t status;
        const char* line;
    } cases[] = {
        {0, "Reading sensor succeeded\n"},
        {0x701, "Function Reading sensor not supported\n"},
        {0x708, "Function Reading sensor failed: Device Busy\n"},
        {0x703, "Reading sensor failed with error 0x0703\n"},
        {0x5, "Reading sensor failed with error 0x0005\n"},
        {0xABCDE, "Reading sensor failed with error 0xABCDE\n"},
        {0xFFFFFFFF, "Reading sensor failed with error 0xFFFFFFFF\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CaptureStdout([&] { PrintVemiError("Reading sensor", c.status); }), c.line);
    EXPECT_EQ(CaptureStdout([] { PrintVemiError(NULL, 0x701); }), "");
}

TEST(ExitStatus, LowBitsUnlessAFailureWouldReadAsSuccess)
{
    EXPECT_EQ(ExitStatusOf(0), 0);
    EXPECT_EQ(ExitStatusOf(0x701), 1);
    EXPECT_EQ(ExitStatusOf(0x708), 8);
    EXPECT_EQ(ExitStatusOf(0xFFFFFFFF), 255);
    EXPECT_EQ(ExitStatusOf(22), 22);
    EXPECT_EQ(ExitStatusOf(0x700), 255);
    EXPECT_EQ(ExitStatusOf(0x600), 255);
    EXPECT_EQ(ExitStatusOf(0x100), 255);
}

TEST(RequestRecord, LayoutIsTheDriversAndTheConstructorFillsItInOrder)
{
    uint8_t in = 1, out = 2;
    uint32_t counter = 0;
    vemix_struct r(0x11223344, 0x55667788, &in, 1, &out, 2, &counter, NULL);
    uint8_t raw[56];
    memcpy(raw, &r, sizeof(raw));
    uint32_t u32;
    void* p;
    memcpy(&u32, raw + 0, 4);
    EXPECT_EQ(u32, 0x11223344u);
    memcpy(&u32, raw + 4, 4);
    EXPECT_EQ(u32, 0x55667788u);
    memcpy(&p, raw + 8, 8);
    EXPECT_EQ(p, &in);
    memcpy(&u32, raw + 16, 4);
    EXPECT_EQ(u32, 1u);
    memcpy(&p, raw + 24, 8);
    EXPECT_EQ(p, &out);
    memcpy(&u32, raw + 32, 4);
    EXPECT_EQ(u32, 2u);
    memcpy(&p, raw + 40, 8);
    EXPECT_EQ(p, &counter);
    memcpy(&p, raw + 48, 8);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(VEMI_IOCTL_REQUEST, 3224916481UL);
}
