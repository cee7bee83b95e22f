// The end-to-end cases kept as data in tests/e2e/*.cases: each runs the real
// VemiCmd under vemisim and compares standard output, standard error, the exit
// status and the board's trace. The format, line by line:
//   case NAME          starts a case; the file's name and NAME name the test
//   run ARG...         a run of VemiCmd; several run lines share the expectations.
//                      'quoted words' may hold blanks, '' is an empty argument
//   sim ARG...         a run of vemisim itself, in a folder that holds board.json
//   board NAME|{...}   a board of the library, or inline JSON (default: default)
//   driver none        no board preloaded: VemiCmd finds no driver
//   clock real         the watchdog test's sleeps take real time
//   exit N             the exit status (default 0)
//   in: out: out-begins: err: err-begins: trace: board:
//                      a block of |lines, each taken whole after the bar, with a
//                      line end: standard input, standard output and standard
//                      error (or how they begin; error by default empty), the
//                      trace, inline JSON. Output or trace without a block is not
//                      compared. A line ending in \c has no line end (as echo's);
//                      |{title} stands for the title line, {version} for the version.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <optional>
#include <sstream>

#include "RunTool.h"

namespace {

const std::string kVersion = std::string(VEMI_TITLE).substr(std::string(VEMI_TITLE).rfind(' ') + 1);

struct Case {
    std::string name, where;
    std::vector<std::pair<bool, std::vector<std::string>>> runs; // vemisim?, arguments
    RunOptions options;
    std::optional<std::string> out, trace;
    bool outBegins = false, errBegins = false; // only how they begin
    std::string err;
    int exit = 0;
};

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> std::quoted(word, '\'');)
        words.push_back(word);
    return words;
}

void ReadCases(const std::string& path, const std::string& file, std::vector<Case>* cases)
{
    std::ifstream in(path);
    std::string line, *block = nullptr;
    for (int n = 1; std::getline(in, line); n++) {
        if (block != nullptr && !line.empty() && line[0] == '|') {
            for (size_t at; (at = line.find("{version}")) != std::string::npos;)
                line.replace(at, 9, kVersion);
            bool open = line.size() >= 2 && line.compare(line.size() - 2, 2, "\\c") == 0;
            *block += line == "|{title}" ? kTitle : line.substr(1, line.size() - 1 - 2 * open) + (open ? "" : "\n");
            continue;
        }
        block = nullptr;
        std::string key = line.substr(0, line.find(' ')), value = line.substr(std::min(line.size(), key.size() + 1));
        if (key == "case") {
            cases->emplace_back();
            cases->back().name = file + "_" + value;
            cases->back().where = path + ":" + std::to_string(n);
            continue;
        }
        if (key.empty() || key[0] == '#' || cases->empty())
            continue;
        Case& c = cases->back();
        if (key == "run" || key == "sim") c.runs.push_back({key == "sim", Words(value)});
        else if (key == "board") (value[0] == '{' ? c.options.boardJson : c.options.board) = value;
        else if (key == "driver") c.options.simulated = false;
        else if (key == "clock") c.options.fastClock = false;
        else if (key == "exit") c.exit = (int)strtol(value.c_str(), nullptr, 0);
        else if (key == "in:") block = &c.options.input;
        else if (key == "out:" || key == "out-begins:") block = &c.out.emplace(), c.outBegins = key != "out:";
        else if (key == "err:" || key == "err-begins:") block = &c.err, c.errBegins = key != "err:";
        else if (key == "trace:") block = &c.trace.emplace();
        else if (key == "board:") block = &c.options.boardJson;
        else ADD_FAILURE() << path << ":" << n << ": unknown line: " << line;
    }
}

// The case files CMake lists, separated by bars.
std::vector<Case> LoadCases()
{
    std::vector<Case> cases;
    std::istringstream files(VEMI_TEST_CASES);
    for (std::string path; std::getline(files, path, '|');) {
        std::string name = path.substr(path.rfind('/') + 1);
        ReadCases(path, name.substr(0, name.size() - 6), &cases);
    }
    return cases;
}

// Each line end as $ and each tab as ^I, so that a failing comparison shows blanks,
// tabs and a missing last line end in GoogleTest's line diff.
std::string Visible(const std::string& text)
{
    std::string shown;
    for (char ch : text)
        shown += ch == '\n' ? "$\n" : ch == '\t' ? "^I" : std::string(1, ch);
    return shown;
}

// A failing case names its place in the case file.
void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.where;
}

class EndToEnd : public testing::TestWithParam<Case> {};

TEST_P(EndToEnd, Case)
{
    const Case& c = GetParam();
    for (const auto& [sim, args] : c.runs) {
        RunResult r = sim ? RunVemisim(args, c.options) : RunVemiCmd(args, c.options);
        std::string run = c.where + (sim ? ": vemisim" : ": VemiCmd");
        for (const std::string& a : args)
            run += " '" + a + "'";
        if (c.out) {
            EXPECT_EQ(Visible(*c.out), Visible(c.outBegins ? r.out.substr(0, c.out->size()) : r.out)) << run;
        }
        EXPECT_EQ(Visible(c.err), Visible(c.errBegins ? r.err.substr(0, c.err.size()) : r.err)) << run;
        if (c.trace) {
            EXPECT_EQ(Visible(*c.trace), Visible(r.trace)) << run;
        }
        EXPECT_EQ(r.exitStatus, c.exit) << run;
    }
}

INSTANTIATE_TEST_SUITE_P(, EndToEnd, testing::ValuesIn(LoadCases()),
                         [](const testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!isalnum((unsigned char)ch))
                                     ch = '_';
                             return name;
                         });

} // namespace
