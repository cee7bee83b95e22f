// The hex dump, against a plain formatter that follows the documented formats byte by byte.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "CaptureStdout.h"
#include "PrintData.h"
#include "ProgramState.h"

namespace {

std::string Format(const char* fmt, unsigned v)
{
    char buf[32];
    snprintf(buf, sizeof(buf), fmt, v);
    return buf;
}

std::string ReferenceDump(const uint8_t* data, uint32_t len, bool bare)
{
    std::string s;
    if (data == nullptr)
        return s;
    if (bare) {
        if (len == 0)
            return "\n";
        s += Format("%02hhX", data[0]);
        for (uint32_t i = 1; i < len; i++)
            s += Format(i % 16 ? " %02hhX" : "\n%02hhX", data[i]);
        return s + "\n";
    }
    for (uint32_t r = 0; r < len; r += 16) {
        s += Format("  %08X:", r);
        for (uint32_t j = 0; j < 16; j++) {
            if (r + j < len)
                s += Format(j == 8 ? "-%02hhX" : " %02hhX", data[r + j]);
            else
                s += "   ";
        }
        s += "  *";
        for (uint32_t j = 0; j < 16 && r + j < len; j++)
            s += (data[r + j] >= 0x20 && data[r + j] <= 0x7E) ? (char)data[r + j] : '.';
        s += "*\n";
    }
    return s;
}

std::string Dump(const void* data, uint32_t len, bool bare)
{
    gSilentMode = bare;
    std::string out = CaptureStdout([&] { PrintData(data, len); });
    gSilentMode = false;
    return out;
}

} // namespace

TEST(PrintData, MatchesTheReferenceForEveryLengthAndByteValue)
{
    std::vector<uint8_t> bytes(5000);
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = (uint8_t)(i * 7 + i / 256);
    std::vector<uint32_t> lengths;
    for (uint32_t n = 0; n <= 70; n++)
        lengths.push_back(n);
    // Around the 64 KiB block the dump is written in, and a length of whole blocks.
    for (uint32_t n : {255u, 256u, 257u, 4095u, 4096u, 4097u, 4999u, 5000u})
        lengths.push_back(n);
    for (bool bare : {false, true})
        for (uint32_t n : lengths)
            ASSERT_EQ(Dump(bytes.data(), n, bare), ReferenceDump(bytes.data(), n, bare))
                << "length " << n << (bare ? " bare" : " full");
}

TEST(PrintData, LargeDumpsCrossTheOutputBlockIntact)
{
    std::vector<uint8_t> big(3 * 1024 * 1024 + 5);
    uint64_t x = 88172645463325252ull;
    for (uint8_t& b : big) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        b = (uint8_t)x;
    }
    for (bool bare : {false, true})
        EXPECT_TRUE(Dump(big.data(), (uint32_t)big.size(), bare) ==
                    ReferenceDump(big.data(), (uint32_t)big.size(), bare));
}

TEST(PrintData, DocumentedRows)
{
    uint8_t seq[17];
    for (int i = 0; i < 17; i++)
        seq[i] = (uint8_t)i;
    EXPECT_EQ(Dump(seq, 16, false),
              "  00000000: 00 01 02 03 04 05 06 07-08 09 0A 0B 0C 0D 0E 0F  *................*\n");
    EXPECT_EQ(Dump(seq, 17, false),
              "  00000000: 00 01 02 03 04 05 06 07-08 09 0A 0B 0C 0D 0E 0F  *................*\n"
              "  00000010: 10                                               *.*\n");
    EXPECT_EQ(Dump(seq, 17, true), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n10\n");
    const uint8_t ab[] = {0x41, 0x42, 0x00};
    EXPECT_EQ(Dump(ab, 3, false), "  00000000: 41 42 00                                         *AB.*\n");
    // Printable is 0x20..0x7E only.
    const uint8_t edges[] = {0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF};
    EXPECT_EQ(Dump(edges, 6, false),
              "  00000000: 1F 20 7E 7F 80 FF                                *. ~...*\n");
}

TEST(PrintData, NullAndEmptyBuffers)
{
    uint8_t b = 0x55;
    EXPECT_EQ(Dump(nullptr, 0, false), "");
    EXPECT_EQ(Dump(nullptr, 100, false), "");
    EXPECT_EQ(Dump(nullptr, 100, true), "");
    EXPECT_EQ(Dump(&b, 0, false), "");
    EXPECT_EQ(Dump(&b, 0, true), "\n");
}
