// The direct call: values from switches or prompts, result, counter and both buffers.
#include <gtest/gtest.h>

#include "RunTool.h"

namespace {

TEST(DirectCall, TheHelpsExampleTurnsTheLedRedWithoutAsking)
{
    RunResult r = RunVemiCmd({"/ig:0x8000", "/io:0x1", "/ibuf:B:1", "/olen:0"});
    EXPECT_EQ(r.out, std::string(kTitle) +
                         "IndexGroup:8000, IndexOffset:   1\n"
                         "Result:   0\n"
                         "Bytes Returned:0 \n"
                         "InBuffer:\n"
                         "  00000000: 01                                               *.*\n"
                         "OutBuffer:\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.trace, "0x8000/0x1 in=01 out=0 status=0x0 returned=0\n"
                       "event user LED: red\n");
}

TEST(DirectCall, PromptsAskOnlyForWhatIsMissingInOrder)
{
    RunOptions o;
    o.input = "7000\n0\nB:1,2,3\n";
    RunResult r = RunVemiCmd({"/olen:16"}, o);
    EXPECT_EQ(r.out, std::string(kTitle) +
                         "IndexGroup:IndexOffset:InBuffer:"
                         "IndexGroup:7000, IndexOffset:   0\n"
                         "Result:   0\n"
                         "Bytes Returned:16 \n"
                         "InBuffer:\n"
                         "  00000000: 01 02 03                                         *...*\n"
                         "OutBuffer:\n"
                         "  00000000: 53 49 4D 2D 31 30 30 20-75 73 65 72 20 61 72 65  *SIM-100 user are*\n");
    EXPECT_EQ(r.trace, "0x7000/0x0 in=010203 out=16 status=0x0 returned=16\n");

    // Prompts come in silent mode too; 0x prefixes are accepted.
    o.input = "0x7000 0x0 B:9 4";
    r = RunVemiCmd({"/s"}, o);
    EXPECT_EQ(r.out, "IndexGroup:IndexOffset:InBuffer:OutBuffer Length:53 49 4D 2D\n");
}

TEST(DirectCall, SilentFormsPrintOnlyTheDataOrTheFailure)
{
    RunResult r = RunVemiCmd({"/s", "/ig:7000", "/io:0", "/ibuf:B:1", "/olen:4"});
    EXPECT_EQ(r.out, "53 49 4D 2D\n");
    EXPECT_EQ(r.exitStatus, 0);

    r = RunVemiCmd({"/s", "/ig:9000", "/io:5", "/ibuf:B:1", "/olen:4"});
    EXPECT_EQ(r.out, "VemiCall failed with Error: 701\n");
    EXPECT_EQ(r.exitStatus, 1);

    // Success with no output area prints nothing at all.
    r = RunVemiCmd({"/s", "/ig:8000", "/io:1", "/ibuf:B:1", "/olen:0"});
    EXPECT_EQ(r.out, "");
}

TEST(DirectCall, AFailedRequestShowsBothBuffersAndEndsWithItsStatus)
{
    RunOptions o;
    o.boardJson = R"({"faults": [{"group": "0x8000", "status": "0x708"}]})";
    RunResult r = RunVemiCmd({"/ig:8000", "/io:2", "/ibuf:W:1234", "/olen:2"}, o);
    EXPECT_EQ(r.out, std::string(kTitle) +
                         "IndexGroup:8000, IndexOffset:   2\n"
                         "Result: 708\n"
                         "Bytes Returned:0 \n"
                         "InBuffer:\n"
                         "  00000000: 34 12                                            *4.*\n"
                         "OutBuffer:\n"
                         "  00000000: 00 00                                            *..*\n");
    EXPECT_EQ(r.exitStatus, 8);
}

TEST(DirectCall, BytesTheDriverDidNotWriteShowAsZero)
{
    RunOptions o;
    o.boardJson = R"({"raw": [{"group": "0x9000", "offset": 1, "bytes": "DE AD BE EF"}]})";
    RunResult r = RunVemiCmd({"/s", "/ig:9000", "/io:1", "/ibuf:X", "/olen:8"}, o);
    EXPECT_EQ(r.out, "DE AD BE EF 00 00 00 00\n");
    EXPECT_EQ(r.trace, "0x9000/0x1 in=- out=8 status=0x0 returned=4\n");
}

TEST(DirectCall, UnreadableAnswersAreLeftForTheNextPrompt)
{
    RunOptions o;
    // "zz" is no number: the group stays 0 and the offset prompt fails on it too;
    // the in-buffer prompt takes it as a definition with an unknown letter.
    o.input = "zz 5";
    RunResult r = RunVemiCmd({}, o);
    EXPECT_EQ(r.out, std::string(kTitle) +
                         "IndexGroup:IndexOffset:InBuffer:OutBuffer Length:"
                         "IndexGroup:   0, IndexOffset:   0\n"
                         "Result:   0\n"
                         "Bytes Returned:4 \n"
                         "InBuffer:\n"
                         "OutBuffer:\n"
                         "  00000000: 02 01 2A 00 00                                   *..*..*\n");
    // An invalid switch value stays as the prompt's starting value when the answer fails.
    o.input = "";
    r = RunVemiCmd({"/ig:12g", "/io:0", "/ibuf:X", "/olen:0"}, o);
    EXPECT_EQ(TraceLines(r.trace, "0x"), "0x12/0x0 in=- out=0 status=0x701 returned=-\n");
}

TEST(DirectCall, EndOfInputLeavesEveryValueAsItWas)
{
    RunResult r = RunVemiCmd({"/ig:8000", "/io:1"});
    EXPECT_EQ(r.out, std::string(kTitle) +
                         "InBuffer:OutBuffer Length:"
                         "IndexGroup:8000, IndexOffset:   1\n"
                         "Result:  16\n"
                         "Bytes Returned:0 \n"
                         "InBuffer:\n"
                         "OutBuffer:\n");
    // The LED service wants its colour byte: without input it answers EINVAL.
    EXPECT_EQ(TraceLines(r.trace, "0x"), "0x8000/0x1 in=- out=0 status=0x16 returned=-\n");
    EXPECT_EQ(r.exitStatus, 22);
}

TEST(DirectCall, ThePromptsWordIsCutAtBlanksAnd255Characters)
{
    RunOptions o;
    o.input = "8000 1 B:1,2 3\n0\n";
    RunResult r = RunVemiCmd({}, o);
    EXPECT_EQ(TraceLines(r.trace, "0x"), "0x8000/0x1 in=0102 out=3 status=0x0 returned=0\n");

    // A 300-character word: 255 characters make the definition, the rest is the next answer.
    std::string word = "A:" + std::string(253, 'x') + "12345";
    o.input = "8000 1 " + word + "\n";
    r = RunVemiCmd({}, o);
    std::string hex;
    for (int i = 0; i < 253; i++)
        hex += "78"; // 'x'
    EXPECT_EQ(TraceLines(r.trace, "0x"), "0x8000/0x1 in=" + hex + "00 out=12345 status=0x0 returned=0\n");
}

TEST(DirectCall, ARepeatedInBufferReplacesTheEarlierOne)
{
    RunResult r = RunVemiCmd({"/s", "/ig:8000", "/io:1", "/ibuf:B:5,6", "/ibuf:B:1", "/olen:0"});
    EXPECT_EQ(r.trace, "0x8000/0x1 in=01 out=0 status=0x0 returned=0\nevent user LED: red\n");
    r = RunVemiCmd({"/s", "/ig:8000", "/io:1", "/ibuf:B:5", "/ibuf:X:1", "/olen:0"});
    EXPECT_EQ(TraceLines(r.trace, "0x"), "0x8000/0x1 in=- out=0 status=0x16 returned=-\n");
}

TEST(DirectCall, LargeGeneratedAnswersAreDumpedWhole)
{
    RunOptions o;
    o.boardJson = R"({"raw": [{"group": "0xA000", "offset": 0, "size": 100000, "pattern": "counter"}]})";
    RunResult r = RunVemiCmd({"/s", "/ig:A000", "/io:0", "/ibuf:X", "/olen:100000"}, o);
    ASSERT_EQ(r.out.size(), 100000u / 16 * 48 + 48 * 0);
    EXPECT_EQ(r.out.substr(0, 48), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n");
    EXPECT_EQ(r.out.substr(r.out.size() - 48), "90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F\n");
}

} // namespace
