// The in-buffer notation: letters, separators, caps, and what is left alone.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "InBuffer.h"

namespace {

// The bytes a definition gives, as hexadecimal; "-" when no buffer was stored.
std::string Parse(std::string text)
{
    static uint8_t sentinel;
    uint8_t* out = &sentinel;
    uint32_t len = ParseInputDefString(&text[0], &out);
    if (out == &sentinel)
        return len == 0 ? "-" : "length without a buffer";
    std::string hex;
    for (uint32_t i = 0; i < len; i++)
        hex += "0123456789ABCDEF"[out[i] >> 4], hex += "0123456789ABCDEF"[out[i] & 15];
    free(out);
    return hex;
}

std::string Repeat(const std::string& head, int n)
{
    std::string s = head;
    for (int i = 0; i < n; i++)
        s += ",7";
    return s;
}

TEST(InBuffer, Definitions)
{
    struct Case {
        std::string text, bytes;
    } cases[] = {
        // Each letter stores its width, least significant byte first, the low bits only.
        {"B:1", "01"}, {"b,0x10,ff", "10FF"}, {"B:1FF", "FF"}, {"W:1234,5", "34120500"}, {"w:123456", "5634"},
        {"D:12345678", "78563412"}, {"d:-1", "FFFFFFFF"},
        // Text keeps colons, stops at a comma and ends with a zero byte.
        {"A:abc", "61626300"}, {"a:x:y", "783A7900"}, {"A:one,two", "6F6E6500"}, {"A,text", "7465787400"},
        // Separators and fields: empty fields skipped, only the first character counts.
        {"B:1,,2", "0102"}, {",B:1", "01"}, {"::B:1", "01"}, {"Byte:1", "01"}, {"bx,1", "01"}, {"B:xyz", "00"},
        {"B:0x", "00"}, {"B:", ""},
        // Unknown letters and empty definitions store nothing.
        {"X:1", "-"}, {"", "-"}, {":", "-"}, {",,:,", "-"}, {"A:", "-"}, {"A", "-"}, {"a,", "-"}, {"?:1", "-"},
        {"1:2", "-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Parse(c.text), c.bytes) << c.text;
}

// A value that would not fit whole is not stored.
TEST(InBuffer, NumericDefinitionsHoldAtMost255Bytes)
{
    struct Cap {
        const char* head;
        int values;
        size_t bytes;
    } caps[] = {{"B:", 300, 255}, {"B:", 255, 255}, {"B:", 254, 254}, {"W:", 200, 254},
                {"W:", 127, 254}, {"D:", 100, 252}, {"D:", 63, 252}};
    for (const Cap& c : caps)
        EXPECT_EQ(Parse(Repeat(c.head, c.values)).size(), 2 * c.bytes) << c.head << c.values;
    std::string sevens;
    for (int i = 0; i < 255; i++)
        sevens += "07";
    EXPECT_EQ(Parse(Repeat("B:", 300)), sevens);
}

} // namespace
