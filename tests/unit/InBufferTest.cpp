// The in-buffer notation: letters, separators, caps, and what is left alone.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "CmdTable.h"

namespace {

struct Parsed {
    uint32_t len;
    bool stored;
    std::vector<uint8_t> bytes;
};

Parsed Parse(const std::string& text)
{
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    uint8_t sentinel = 0;
    uint8_t* out = &sentinel;
    Parsed p;
    p.len = ParseInputDefString(buf.data(), &out);
    p.stored = out != &sentinel;
    if (p.stored) {
        p.bytes.assign(out, out + p.len);
        free(out);
    }
    return p;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> v;
    for (int b : list)
        v.push_back((uint8_t)b);
    return v;
}

std::string Repeat(const std::string& head, const std::string& value, int n)
{
    std::string s = head;
    for (int i = 0; i < n; i++)
        s += (i ? "," : "") + value;
    return s;
}

} // namespace

TEST(InBuffer, EachLetterStoresItsWidthLittleEndian)
{
    EXPECT_EQ(Parse("B:1").bytes, Bytes({1}));
    EXPECT_EQ(Parse("b,0x10,ff").bytes, Bytes({0x10, 0xFF}));
    EXPECT_EQ(Parse("W:1234,5").bytes, Bytes({0x34, 0x12, 0x05, 0x00}));
    EXPECT_EQ(Parse("w:123456").bytes, Bytes({0x56, 0x34})); // low 16 bits
    EXPECT_EQ(Parse("D:12345678").bytes, Bytes({0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(Parse("d:-1").bytes, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Parse("B:1FF").bytes, Bytes({0xFF})); // low 8 bits
}

TEST(InBuffer, TextKeepsColonsStopsAtACommaAndEndsWithAZero)
{
    EXPECT_EQ(Parse("A:abc").bytes, Bytes({'a', 'b', 'c', 0}));
    EXPECT_EQ(Parse("a:x:y").bytes, Bytes({'x', ':', 'y', 0}));
    EXPECT_EQ(Parse("A:one,two").bytes, Bytes({'o', 'n', 'e', 0}));
    EXPECT_EQ(Parse("A,text").bytes, Bytes({'t', 'e', 'x', 't', 0}));
}

TEST(InBuffer, SeparatorsAndFields)
{
    EXPECT_EQ(Parse("B:1,,2").bytes, Bytes({1, 2}));
    EXPECT_EQ(Parse(",B:1").bytes, Bytes({1}));
    EXPECT_EQ(Parse("::B:1").bytes, Bytes({1}));
    EXPECT_EQ(Parse("Byte:1").bytes, Bytes({1}));
    EXPECT_EQ(Parse("bx,1").bytes, Bytes({1}));
    EXPECT_EQ(Parse("B:xyz").bytes, Bytes({0}));
    EXPECT_EQ(Parse("B:0x").bytes, Bytes({0}));
}

TEST(InBuffer, NumericDefinitionsHoldAtMost255Bytes)
{
    Parsed b = Parse(Repeat("B:", "7", 300));
    EXPECT_EQ(b.len, 255u);
    EXPECT_EQ(b.bytes, std::vector<uint8_t>(255, 7));
    EXPECT_EQ(Parse(Repeat("B:", "7", 255)).len, 255u);
    EXPECT_EQ(Parse(Repeat("B:", "7", 254)).len, 254u);
    // A value that would not fit whole is not stored.
    EXPECT_EQ(Parse(Repeat("W:", "1", 200)).len, 254u);
    EXPECT_EQ(Parse(Repeat("W:", "1", 127)).len, 254u);
    EXPECT_EQ(Parse(Repeat("D:", "1", 100)).len, 252u);
    EXPECT_EQ(Parse(Repeat("D:", "1", 63)).len, 252u);
}

TEST(InBuffer, UnknownLettersAndEmptyDefinitionsStoreNothing)
{
    for (const char* text : {"X:1", "", ":", ",,:,", "A:", "A", "a,", "?:1", "1:2"}) {
        Parsed p = Parse(text);
        EXPECT_EQ(p.len, 0u) << text;
        EXPECT_FALSE(p.stored) << text;
    }
    // A numeric letter without values still owns an (empty) buffer.
    Parsed p = Parse("B:");
    EXPECT_EQ(p.len, 0u);
    EXPECT_TRUE(p.stored);
}
