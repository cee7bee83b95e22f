// The library on a test's own transport: linked with nothing but the library
// (every object of it), it shows the library needs no simulated board, and the
// readers' outcomes are pinned on answers the simulator would never give.
#include <errno.h>
#include <string.h>

#include <gtest/gtest.h>

#include "VemiReaders.h"

namespace {

// One scripted answer: the status, and the bytes written into the output area.
struct Answer {
    uint32_t status;
    uint32_t written;
    uint8_t bytes[4];
};

struct Fake {
    Answer answer;
    int openErrno; // the open fails with it; -1: fails leaving errno at 0
    int requests;
    uint32_t lastFailure;
};

int FakeOpen(void* context, const char*)
{
    Fake* fake = (Fake*)context;
    if (fake->openErrno == 0)
        return 7;
    errno = fake->openErrno > 0 ? fake->openErrno : 0;
    return -1;
}

uint32_t FakeRequest(void* context, int fd, vemix_struct* request)
{
    Fake* fake = (Fake*)context;
    EXPECT_EQ(fd, 7);
    uint32_t n = fake->answer.written < request->outBufferLen ? fake->answer.written : request->outBufferLen;
    memcpy(request->outBuffer, fake->answer.bytes, n < 4 ? n : 4);
    *request->bytesReturned = fake->answer.written; // a driver may claim more than the area holds
    return fake->answer.status;
}

Fake* gFake;
void CountRequest(void)
{
    gFake->requests++;
}
void KeepFailure(uint32_t status)
{
    gFake->lastFailure = status;
}

struct UpsCase {
    const char* name;
    Answer answer;
    VemiRecordState presence; // as the text style counts it
    VemiRecordState strictPresence;
    VemiUpsState state;
    bool chargeValid;
};

const UpsCase kUpsCases[] = {
    {"DischargingAt30", {0, 1, {0xD3}}, kRecordRead, kRecordRead, kUpsDischarging, true},
    {"ChargingAt110IsNoCharge", {0, 1, {0xCB}}, kRecordRead, kRecordRead, kUpsCharging, false},
    {"SuccessWithoutItsByteIsAShortAnswer", {0, 0, {0xD3}}, kRecordRead, kRecordFailed, kUpsUnknown, false},
    {"NotSupportedIsNoUps", {VEMI_NOT_SUPPORTED, 0, {}}, kRecordAbsent, kRecordAbsent, kUpsUnknown, false},
    {"AFailedReadSaysNothing", {EIO, 1, {0xC5}}, kRecordFailed, kRecordFailed, kUpsCharging, true},
};

class UpsOnFake : public testing::TestWithParam<UpsCase> {};

TEST_P(UpsOnFake, ReadsAsTheAnswerSays)
{
    const UpsCase& c = GetParam();
    Fake fake = {c.answer, 0, 0, 0};
    gFake = &fake;
    VemiTransport transport = {&fake, FakeOpen, FakeRequest};
    VemiChannel channel = VemiChannelOn(&transport);
    channel.beforeRequest = CountRequest;
    channel.afterFailure = KeepFailure;
    ASSERT_EQ(VemiChannelOpen(&channel, VEMI_DEVICE_PATH), 0);

    VemiUpsInfo info;
    EXPECT_EQ(VemiReadUpsStatus(&channel, &info), c.answer.status);
    EXPECT_EQ(info.statusRead.returned, c.answer.written);
    EXPECT_EQ(info.statusRead.needed, kVemiUpsStatusBytes);
    EXPECT_EQ(VemiUpsPresence(&info, false), c.presence);
    EXPECT_EQ(VemiUpsPresence(&info, true), c.strictPresence);
    EXPECT_EQ(info.state, c.state);
    EXPECT_EQ(info.chargeValid, c.chargeValid);
    EXPECT_EQ(fake.requests, 1);
    EXPECT_EQ(fake.lastFailure, c.answer.status);
}

INSTANTIATE_TEST_SUITE_P(Answers, UpsOnFake, testing::ValuesIn(kUpsCases),
                         [](const testing::TestParamInfo<UpsCase>& i) { return i.param.name; });

// The user EEPROM shows what the driver counted, never more than its 128 bytes.
TEST(FakeTransport, AnEepromCountBeyondTheAreaShowsTheArea)
{
    Fake fake = {{0, 4096, {1, 2, 3, 4}}, 0, 0, 0};
    VemiTransport transport = {&fake, FakeOpen, FakeRequest};
    VemiChannel channel = VemiChannelOn(&transport);
    ASSERT_EQ(VemiChannelOpen(&channel, VEMI_DEVICE_PATH), 0);
    VemiUserEepromInfo info;
    EXPECT_EQ(VemiReadUserEeprom(&channel, &info), 0u);
    EXPECT_EQ(info.read.returned, 4096u);
    EXPECT_EQ(info.shown, (uint32_t)VEMI_USER_EEPROM_SIZE);
}

// A transport that fails its open without saying why still gives a reason.
TEST(FakeTransport, AnOpenFailureAlwaysHasAnErrorNumber)
{
    for (int openErrno : {ENOENT, EACCES, -1}) {
        Fake fake = {{}, openErrno, 0, 0};
        VemiTransport transport = {&fake, FakeOpen, FakeRequest};
        VemiChannel channel = VemiChannelOn(&transport);
        EXPECT_EQ(VemiChannelOpen(&channel, VEMI_DEVICE_PATH), openErrno > 0 ? openErrno : EIO) << openErrno;
        EXPECT_EQ(channel.fd, -1);
    }
}

} // namespace
