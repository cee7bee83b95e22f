// Label values in the exposition format: escaping, bytes that are not UTF-8, and
// the buffer bound, in buffers exactly as large as they are said to be.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PromWriter.h"
#include "Utf8.h"

namespace {

std::string Label(const std::string& value, size_t size = 256, size_t maxLen = 64, const char* before = "")
{
    std::vector<char> labels(size);
    snprintf(labels.data(), size, "%s", before);
    PromLabel(labels.data(), size, "sensor", value.c_str(), maxLen);
    return labels.data();
}

TEST(PromLabel, EscapesAndReplaces)
{
    const std::string r = "\xEF\xBF\xBD"; // U+FFFD
    struct Case {
        std::string value, label;
    } cases[] = {
        {"CPU", "sensor=\"CPU\""},
        {"a\"b\\c\nd", "sensor=\"a\\\"b\\\\c\\nd\""},
        {"tab\there\x7f", "sensor=\"tab" + r + "here" + r + "\""},
        {"caf\xC3\xA9 \xE2\x82\xAC", "sensor=\"caf\xC3\xA9 \xE2\x82\xAC\""},
        // Overlong, surrogate, stray byte: each byte of them replaced.
        {"\xC0\xAF\xED\xA0\x80\xFF", "sensor=\"" + r + r + r + r + r + r + "\""},
        {"\xE0\x82\xA9|\xE0\x9F\xBF", "sensor=\"" + r + r + r + "|" + r + r + r + "\""}, // U+00A9, U+07FF written long
        // C1 controls and the line and paragraph separators: a line end to some readers.
        {"a\xC2\x85" "b\xC2\x9F\xE2\x80\xA8\xE2\x80\xA9\xC2\xA0", "sensor=\"a" + r + "b" + r + r + r + "\xC2\xA0\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Label(c.value), c.label) << c.value;
    EXPECT_EQ(Label("1234567890", 256, 4), "sensor=\"1234\"");
    EXPECT_EQ(Label("CPU", 256, 64, "number=\"1\""), "number=\"1\",sensor=\"CPU\"");
}

TEST(PromLabel, StaysInItsBuffer)
{
    // Every size from nothing to room for all: the label is whole, cut short but
    // closed, or left out; never more than the buffer (AddressSanitizer watches).
    std::string value(40, '\xFF');
    for (size_t size = 1; size < 160; size++) {
        std::string label = Label(value, size, 64, size > 12 ? "number=\"1\"" : "");
        ASSERT_LT(label.size(), size);
        if (label.find("sensor") != std::string::npos) {
            EXPECT_EQ(label.back(), '"') << size;
        }
    }
}

TEST(Utf8, SequenceLengths)
{
    struct Case {
        std::string bytes;
        size_t length;
    } cases[] = {
        {"A", 1}, {"\xC3\xA9", 2}, {"\xE2\x82\xAC", 3}, {"\xF0\x9F\x98\x80", 4},
        {"\xC3", 0}, {"\xE2\x82", 0},                        // cut short by the end of the text
        {"\xC0\x80", 0}, {"\xE0\x80\x80", 0}, {"\xF0\x80\x80\x80", 0},  // overlong
        {"\xE0\x82\xA9", 0}, {"\xE0\x9F\xBF", 0}, {"\xE0\xA0\x80", 3},   // U+00A9, U+07FF long; U+0800
        {"\xED\xA0\x80", 0}, {"\xF4\x90\x80\x80", 0},        // surrogate, beyond U+10FFFF
        {"\x80", 0}, {"\xC3\x41", 0}, {"\xF8\x88\x80\x80\x80", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8SequenceLength((const unsigned char*)c.bytes.data(), c.bytes.size()), c.length)
            << testing::PrintToString(c.bytes);
}

} // namespace
