// vemid's decisions on a virtual clock: the keeper's loop as vemid runs it, with
// the simulated board answering (its clock is the virtual one, and a slow answer
// moves it), health checks that end when a case says, and stops when a case says.
// A case lists what happened, at what virtual time: the board's watchdog requests,
// the checks started and killed, what NUT was told, and lines of the log.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "BoardModel.h"
#include "InProcessChannel.h"
#include "Keeper.h"
#include "UpsFile.h"

namespace {

int64_t sNow = 0; // the virtual clock, which the board reads too

int VirtualClock(clockid_t, struct timespec* ts)
{
    ts->tv_sec = (time_t)(sNow / 1000);
    ts->tv_nsec = (long)(sNow % 1000) * 1000000;
    return 0;
}

struct Check {
    int64_t afterMs;   // when it reports; -1: never; -2: it cannot be asked for (no helper)
    CheckOutcome outcome;
    int detail;
};
const Check kPass = {0, kCheckPassed, 0};
const Check kHang = {-1, kCheckPassed, 0};
const Check kRefused = {-2, kCheckPassed, 0};

struct Stop {
    int64_t atMs;
    int signal;
};

struct Case {
    const char* name;
    const char* options;          // vemid's command line, after "vemid"
    const char* board;            // board JSON: what differs from the default board
    std::vector<Check> checks;    // in order of their start, the last repeating
    std::vector<Stop> stops;
    const char* shows;            // which lines of what happened the case lists (a regex)
    const char* happened;         // those lines, "TIME WHAT" each
    std::vector<const char*> logHas = {};
    std::vector<const char*> metricsHas = {};
    int startStatus = 0;          // KeeperArm's
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

// The world on the virtual clock.
struct World {
    const Case* c = nullptr;
    size_t checksStarted = 0, nextStop = 0;
    int waitsNow = 0; // waits in a row that found nothing to wait for: a loop that spins
    bool pending = false; // a check's report, due at reportAt
    CheckReport report = {};
    int64_t reportAt = 0;
    std::string happened;
    std::string nutSaid;

    void Note(const std::string& what) { happened += std::to_string(sNow) + " " + what + "\n"; }
};

int64_t Now(void*)
{
    return sNow;
}

void Wait(void* context, Keeper* k, int64_t untilMs)
{
    World* w = (World*)context;
    int64_t next = untilMs;
    if (w->pending && w->reportAt < next)
        next = w->reportAt;
    if (w->nextStop < w->c->stops.size() && w->c->stops[w->nextStop].atMs < next)
        next = w->c->stops[w->nextStop].atMs;
    if (next > sNow) {
        sNow = next;
        w->waitsNow = 0;
    } else if (++w->waitsNow > 10000) { // a real loop would spin on a CPU
        ADD_FAILURE() << "the loop spins at " << sNow << " ms";
        k->phase = kStopped;
    }
    if (w->pending && w->reportAt <= sNow) {
        w->pending = false;
        KeeperCheckEnded(k, &w->report, sNow);
    }
    if (w->nextStop < w->c->stops.size() && w->c->stops[w->nextStop].atMs <= sNow)
        KeeperStopAsked(k, w->c->stops[w->nextStop++].signal);
    if (sNow > 600000) { // a case that never stops
        ADD_FAILURE() << "still running at 600 s";
        k->phase = kStopped;
    }
}

bool StartCheck(void* context, uint32_t id)
{
    World* w = (World*)context;
    const Check& check = w->c->checks[std::min(w->checksStarted++, w->c->checks.size() - 1)];
    w->Note("check " + std::to_string(id));
    if (check.afterMs == -2)
        return false;
    w->pending = check.afterMs >= 0;
    w->report = {id, check.outcome, check.detail, check.afterMs};
    w->reportAt = sNow + check.afterMs;
    return true;
}

void KillCheck(void* context, uint32_t id)
{
    World* w = (World*)context;
    w->pending = false;
    w->Note("kill " + std::to_string(id));
}

// What NUT is told, a line at each change.
void Told(void* context, const UpsState* s, int64_t)
{
    World* w = (World*)context;
    static const char* const lines[] = {"", "OL CHRG", "OB DISCHRG", "OB DISCHRG LB", "OL ALARM", ""};
    std::string said = s->noStateWhy != nullptr ? std::string("none: ") + s->noStateWhy
                                                : std::string(lines[s->line]) + " charge " + std::to_string(s->charge) +
                                                      " counter " + std::to_string(s->counter);
    if (said != w->nutSaid)
        w->Note("nut " + said);
    w->nutSaid = said;
}

// A board's trace line, shortened: "feed", "set 03", "ups status", ... and " failed 0x708".
std::string Short(const std::string& line)
{
    std::smatch m;
    if (!std::regex_match(line, m, std::regex("0x([0-9A-F]+)/0x([0-9A-F]+) in=(\\S+) out=\\d+ status=0x([0-9A-F]+).*")))
        return line; // an event of the board's
    std::string service = m[1].str() + "/" + m[2].str(), what;
    if (service == "6000/6")
        what = "feed";
    else if (service == "6000/0")
        what = "set " + m[3].str();
    else if (service == "6000/4")
        what = "power " + m[3].str();
    else if (service == "5000/1")
        what = "ups status";
    else if (service == "5000/3")
        what = "ups counter";
    else
        what = "read " + service;
    return m[4].str() == "0" ? what : what + " failed 0x" + m[4].str();
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words = {"vemid"};
    for (std::string word; in >> word;)
        words.push_back(word == "_" ? "" : word);
    return words;
}

class KeeperCase : public testing::TestWithParam<Case> {};

TEST_P(KeeperCase, Runs)
{
    const Case& c = GetParam();
    char folder[] = "/tmp/vemid-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string metricsPath = std::string(folder) + "/metrics.prom";
    std::string options = std::regex_replace(c.options, std::regex("METRICS"), metricsPath);
    std::vector<std::string> words = Words(options);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    optind = 1;
    VemidOptions o;
    ASSERT_EQ(ParseVemidOptions((int)words.size(), argv.data(), &o), 0);

    sNow = 0;
    SetRealClock(VirtualClock);
    World w;
    w.c = &c;
    BoardConfig config;
    std::string error;
    ASSERT_TRUE(ParseBoardText(c.board, &config, &error)) << error;
    BoardModel model;
    std::regex shows(c.shows);
    model.trace = [&](const std::string& line) {
        std::string s = Short(line);
        if (std::regex_search(s, shows))
            w.Note(s);
    };
    model.delay = [](uint32_t ms) { sNow += ms; };
    BoardInit(&model, config);
    VemiTransport transport = SimTransport(&model);
    VemiChannel channel = VemiChannelOn(&transport);
    ASSERT_EQ(VemiChannelOpen(&channel, "/dev/vemix"), 0);

    setenv("VEMID_LOG_SOCKET", "/nonexistent/log", 1); // the log goes to standard error alone
    LogOpen(kLogInfo);
    testing::internal::CaptureStderr();
    UpsWatch ups;
    UpsWatchInit(&ups, o.lowBatteryPercent, o.upsSeconds, sNow);
    UpsWatchAddSink(&ups, {&w, Told});
    MetricsFile metrics;
    MetricsFileStart(&metrics, metricsPath.c_str(), sNow);
    KeeperWorld world = {&w, Now, Wait, StartCheck, KillCheck};
    KeeperParts parts = {&channel, o.upsFile != nullptr ? &ups : nullptr, o.metricsFile != nullptr ? &metrics : nullptr};
    Keeper k;
    KeeperInit(&k, &o, &world, &parts);
    // The start as vemid makes it: the first check, the arm, the first UPS read.
    if (o.check != nullptr)
        KeeperFirstCheck(&k);
    int start = o.neverArm ? 0 : KeeperArm(&k);
    EXPECT_EQ(start, c.startStatus);
    if (start == 0) {
        if (o.upsFile != nullptr)
            UpsWatchRound(&ups, &channel, sNow);
        EXPECT_EQ(KeeperRun(&k), 0);
    }
    UpsWatchNoState(&ups, "vemid stopped: no UPS state", sNow);
    MetricsFileClose(&metrics);
    std::string log = testing::internal::GetCapturedStderr();
    LogOpen(kLogNone);

    std::string happened;
    std::regex listed(c.shows);
    std::istringstream lines(w.happened);
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line.substr(line.find(' ') + 1), listed))
            happened += line + "\n";
    EXPECT_EQ(happened, c.happened);
    for (const char* line : c.logHas)
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    std::ifstream file(metricsPath);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const char* line : c.metricsHas)
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(system(("rm -rf " + std::string(folder)).c_str()), 0);
}

const char kDefault[] = "{}";
const char kWatchdog[] = "^(power|set|feed)|watchdog disarmed";

const Case kCases[] = {
    {"FeedsKeepTheirScheduleAndAStopDisarms", "-t 3 -s 1", kDefault, {}, {{3500, SIGTERM}}, kWatchdog,
     "0 power 01\n0 set 03\n1000 feed\n2000 feed\n3000 feed\n3500 set 00\n"
     "3500 event watchdog disarmed after 3 s: 3 retriggers, at most 1 s without one (armed 3500 ms, longest gap "
     "1000 ms)\n"},
    {"AFailedFeedIsAskedAgainWithinTheSecond", "-t 3 -s 1 -m METRICS",
     R"({"faults": [{"group": "0x6000", "offset": 6, "sequence": [0, "0x708", "0x708", 0]}]})", {}, {{3200, SIGTERM}},
     "^feed", "1000 feed\n2000 feed failed 0x708\n2250 feed failed 0x708\n2500 feed\n3000 feed\n",
     {"Feeding the watchdog failed: Device Busy (1 in a row): asking again", "feeding again after 2 failed tries"},
     {"\nvemid_feeds_total 3\n", "\nvemid_feed_failures_total 2\n"}},
    {"AFeedOwedWhileTheCheckFailedIsGivenAsSoonAsOnePasses", "-t 10 -s 2 -e check", kDefault,
     {kPass, {100, kCheckFailed, 1}, {300, kCheckPassed, 0}, kPass}, {{4500, SIGTERM}}, "^(feed|check|kill)",
     "0 check 1\n2000 feed\n2000 check 2\n4000 check 3\n4300 feed\n",
     {"health check failed (exit 1): the watchdog is not fed"}},
    {"AFailingCheckFeedsNothing", "-t 3 -s 1 -e check", kDefault, {kPass, {10, kCheckFailed, 1}}, {{3500, SIGTERM}},
     "^(feed|check)", "0 check 1\n1000 feed\n1000 check 2\n2000 check 3\n3000 check 4\n"},
    {"TheWaitEndsAtTheChecksLimit", "-t 10 -s 2 -T 1 -e check", kDefault, {kPass, kHang}, {{5500, SIGTERM}},
     "^(feed|check|kill)", "0 check 1\n2000 feed\n2000 check 2\n3000 kill 2\n4000 check 3\n5000 kill 3\n",
     {"health check timed out after 1 s and was killed: the watchdog is not fed"}},
    {"TheFirstCheckIsKilledAtItsLimit", "-t 10 -s 2 -T 1 -e check", kDefault, {kHang}, {{2500, SIGTERM}},
     "^(set|feed|check|kill)", "0 check 1\n1000 kill 1\n1000 set 0A\n2500 set 00\n"},
    {"ACheckThatCannotRunIsAFailedOne", "-t 10 -s 2 -e check", kDefault, {kPass, {0, kCheckNotRun, ENOENT}},
     {{4500, SIGTERM}}, "^(feed|check)", "0 check 1\n2000 feed\n2000 check 2\n4000 check 3\n",
     {"health check could not run (No such file or directory): the watchdog is not fed"}},
    {"ACheckThatCannotBeAskedForIsAFailedOne", "-t 10 -s 2 -e check", kDefault, {kPass, kRefused}, {{4500, SIGTERM}},
     "^(feed|check)", "0 check 1\n2000 feed\n2000 check 2\n4000 check 3\n",
     {"health check could not run (No child processes): the watchdog is not fed"}},
    {"ACheckStillRunningAtTheStopIsKilled", "-t 10 -s 2 -e check", kDefault, {kPass, kHang}, {{2500, SIGTERM}},
     "^(check|kill)", "0 check 1\n2000 check 2\n2500 kill 2\n"},
    {"TheChecksDurationKeepsItsLeadingZero", "-t 10 -s 2 -T 3 -e check -m METRICS", kDefault,
     {{1050, kCheckPassed, 0}}, {{4500, SIGTERM}}, "^check", "0 check 1\n3050 check 2\n", {},
     {"\nvemid_health_check_success 1\n", "\nvemid_health_check_duration_seconds 1.050\n"}},
    {"ABusyDisarmIsAskedAgainAndTheThirdRetryIsACleanStop", "-t 3 -s 1",
     R"({"faults": [{"group": "0x6000", "offset": 0, "sequence": [0, "0x708", "0x708", "0x708", 0]}]})", {},
     {{1500, SIGTERM}}, "^(set|feed)",
     "0 set 03\n1000 feed\n1500 set 00 failed 0x708\n1500 feed\n2000 feed\n2500 set 00 failed 0x708\n2500 feed\n"
     "3000 feed\n3500 set 00 failed 0x708\n3500 feed\n4000 feed\n4500 set 00\n"},
    {"ADisarmBusyForGoodKeepsTheFeedsGoing", "-t 3 -s 1",
     R"({"faults": [{"group": "0x6000", "offset": 0, "sequence": [0, "0x708", "0x708", "0x708", "0x708", 0]}]})", {},
     {{1500, SIGTERM}, {5200, SIGTERM}}, "^(set|feed)",
     "0 set 03\n1000 feed\n1500 set 00 failed 0x708\n1500 feed\n2000 feed\n2500 set 00 failed 0x708\n2500 feed\n"
     "3000 feed\n3500 set 00 failed 0x708\n3500 feed\n4000 feed\n4500 set 00 failed 0x708\n4500 feed\n5000 feed\n"
     "5200 set 00\n",
     {"Disarming failed: Device Busy: the watchdog stays armed and fed"}},
    {"ForARebootTheWatchdogStaysArmedForTheShutdownTime", "-t 3 -s 1 -x 2", kDefault, {}, {{1500, SIGUSR1}}, "^set",
     "0 set 03\n1500 set 02\n", {"stopping for a reboot: the watchdog restarts the machine in 2 s"}},
    {"PoweringOffOnBatteryDisarms", "-t 3 -s 1 -x 2 -P /", kDefault, {}, {{1500, SIGUSR1}}, "^set",
     "0 set 03\n1500 set 00\n", {"stopped: the watchdog is disarmed (powering off on battery)"}},
    {"ABusyStartIsAskedAgainOnceASecond", "-t 3 -s 1",
     R"({"faults": [{"group": "0x6000", "offset": 0, "sequence": ["0x708", "0x708", 0]}]})", {}, {{3500, SIGTERM}},
     "^(set|feed)", "0 set 03 failed 0x708\n1000 set 03 failed 0x708\n2000 set 03\n3000 feed\n3500 set 00\n",
     {"the device is busy: asking again for up to 30 s"}},
    {"AStopDuringABusyStartEndsIt", "-t 3 -s 1", R"({"faults": [{"group": "0x6000", "offset": 0, "status": "0x708"}]})",
     {}, {{2500, SIGTERM}}, "^(set|feed)", "0 set 03 failed 0x708\n1000 set 03 failed 0x708\n2000 set 03 failed 0x708\n"
     "2500 set 03 failed 0x708\n", {"Arming the watchdog failed: Device Busy, and a stop came: not started"}, {}, 69},
    // A request that takes long (2.5 s, each round's fifth sensor) holds up the feed
    // due meanwhile, and that one alone: the next keeps its time.
    {"ASlowRequestHoldsUpOneFeedByItsOwnTimeAlone", "-t 8 -s 2 -m METRICS",
     R"({"sensorCount": 100000, "sensorsRepeat": true, "faults": [{"group": "0x2000", "offset": 5, "delay": 2500}]})",
     {}, {{9000, SIGTERM}}, "^feed|disarmed",
     "2500 feed\n4000 feed\n7000 feed\n8000 feed\n9000 event watchdog disarmed after 9 s: 4 retriggers, at most 3 s "
     "without one (armed 9000 ms, longest gap 3000 ms)\n"},
    // The read of a huge count (50 ms a request) is cut past 10 s, a feed between any
    // two requests: 2 reads and the count, then 200 sensors up to 10 s, one more.
    {"AHugeSensorCountIsCutAtTheReadsTimeBound", "-t 3 -s 1 -m METRICS",
     R"({"sensorCount": 100000, "sensorsRepeat": true, "faults": [{"group": "0x2000", "delay": 50}]})", {},
     {{12000, SIGTERM}}, "disarmed",
     "12000 event watchdog disarmed after 12 s: 12 retriggers, at most 1 s without one (armed 12000 ms, longest gap "
     "1000 ms)\n",
     {"the metrics' read of the board was cut short after 203 requests"},
     {"vemi_collector_success{collector=\"sensors\"} 0\n", "vemi_collector_success{collector=\"ups\"} 0\n"}},
    {"AQuickFirmwaresHugeCountIsCutAtTheRequestBound", "-t 3 -s 1 -m METRICS",
     R"({"sensorCount": 100000, "sensorsRepeat": true})", {}, {{500, SIGTERM}}, "disarmed",
     "500 event watchdog disarmed after 0 s: 0 retriggers, at most 0 s without one (armed 500 ms, longest gap 500 ms)\n",
     {"the metrics' read of the board was cut short after 1100 requests"},
     {"vemi_collector_success{collector=\"sensors\"} 0\n"}},
    // 700 sensors: a round's 709 requests are within the bound, two rounds' are not.
    {"EachRoundsReadCountsItsOwnRequests", "-t 3 -s 1 -m METRICS", R"({"sensorCount": 700, "sensorsRepeat": true})",
     {}, {{2500, SIGTERM}}, "^read 0/0", "0 read 0/0\n1000 read 0/0\n2000 read 0/0\n", {},
     {"vemi_collector_success{collector=\"sensors\"} 1\n", "vemid_watchdog_armed 0\n"}},
    // What NUT is told of the UPS (-n: no watchdog), a change as soon as a read shows it.
    {"TheUpsFollowsAPowerCut", "-n -s 5 -u ups -p 1 -L 20", R"({"ups": {"timeline": [{"at": 0, "status": "0xC9"},
        {"at": 3000, "status": "0xD6"}, {"at": 9000, "status": "0xD2"}, {"at": 15000, "status": "0xC3"}]}})", {},
     {{15500, SIGTERM}}, "^nut",
     "0 nut OL CHRG charge 90 counter -1\n0 nut OL CHRG charge 90 counter 3\n3000 nut OB DISCHRG charge 60 counter 3\n"
     "9000 nut OB DISCHRG LB charge 20 counter 3\n15000 nut OL CHRG charge 30 counter 3\n"
     "15500 nut none: vemid stopped: no UPS state\n",
     {"UPS on battery (60%)", "UPS on battery, low (20%)", "UPS on line power, charging (30%)"}},
    {"EachNewChargeReachesNut", "-n -s 5 -u ups -p 1", R"({"ups": {"timeline": [{"at": 0, "status": "0xD9"},
        {"at": 1500, "status": "0xD8"}, {"at": 3000, "status": "0xD7"}]}})", {}, {{3500, SIGTERM}}, "^nut.*charge",
     "0 nut OB DISCHRG charge 90 counter -1\n0 nut OB DISCHRG charge 90 counter 3\n2000 nut OB DISCHRG charge 80 counter 3\n"
     "3000 nut OB DISCHRG charge 70 counter 3\n"},
    // Eight busy reads on battery: the last state stands, NUT sees nothing of them.
    {"AShortRunOfFailedReadsChangesNothingNutSees", "-n -s 5 -u ups -p 1", R"({"ups": {"status": "0xD9"},
        "faults": [{"group": "0x5000", "offset": 1, "sequence": [0, 0, "0x708", "0x708", "0x708", "0x708", "0x708",
        "0x708", "0x708", "0x708", 0]}]})", {}, {{10500, SIGTERM}}, "^(nut|ups status)",
     "0 ups status\n0 nut OB DISCHRG charge 90 counter -1\n0 nut OB DISCHRG charge 90 counter 3\n1000 ups status\n"
     "2000 ups status failed 0x708\n3000 ups status failed 0x708\n4000 ups status failed 0x708\n"
     "5000 ups status failed 0x708\n6000 ups status failed 0x708\n7000 ups status failed 0x708\n"
     "8000 ups status failed 0x708\n9000 ups status failed 0x708\n10000 ups status\n"
     "10500 nut none: vemid stopped: no UPS state\n",
     {"UPS state unknown (read failed, 0x708): the last state stands for 10 s", "UPS read again after 8000 ms"}},
    {"ALongRunOfUnknownStatesTellsNutThereIsNone", "-n -s 5 -u ups -p 1",
     R"({"ups": {"timeline": [{"at": 0, "status": "0xC7"}, {"at": 2000, "status": "0x25"}]}})", {}, {{12500, SIGTERM}},
     "^nut", "0 nut OL CHRG charge 70 counter -1\n0 nut OL CHRG charge 70 counter 3\n"
     "12000 nut none: vemid cannot read the UPS: no current state\n12500 nut none: vemid stopped: no UPS state\n",
     {"UPS state unknown for 10 s: NUT is told there is none"}},
    {"ADisabledUpsIsLinePowerWithoutBackup", "-n -s 5 -u ups -p 1", R"({"ups": {"status": "0xA0"}})", {},
     {{1500, SIGTERM}}, "^nut OL", "0 nut OL ALARM charge -1 counter -1\n0 nut OL ALARM charge -1 counter 3\n",
     {"UPS disabled: line power with no battery backup"}},
    {"ABoardWithoutUpsIsToldSo", "-n -s 5 -u ups -p 1", R"({"faults": [{"group": "0x5000", "status": "0x701"}]})", {},
     {{2500, SIGTERM}}, "^(nut|ups)", "0 ups status failed 0x701\n0 nut none: the board has no UPS\n"
     "1000 ups status failed 0x701\n2000 ups status failed 0x701\n2500 nut none: vemid stopped: no UPS state\n"},
    {"AnEmptyStatusAnswerIsNoState", "-n -s 5 -u ups -p 1",
     R"({"faults": [{"group": "0x5000", "offset": 1, "truncate": 0}]})", {}, {{1500, SIGTERM}}, "^nut",
     "0 nut none: vemid cannot read the UPS: no current state\n1500 nut none: vemid stopped: no UPS state\n"},
    {"AShortCounterAnswerIsNoCount", "-n -s 5 -u ups -p 1",
     R"({"faults": [{"group": "0x5000", "offset": 3, "truncate": 1}]})", {}, {{1500, SIGTERM}}, "^nut OL",
     "0 nut OL CHRG charge 70 counter -1\n"},
    {"AFullBatteryIsACharge100", "-n -s 5 -u ups -p 1", R"({"ups": {"status": "0xDA"}})", {}, {{500, SIGTERM}},
     "^nut OB", "0 nut OB DISCHRG charge 100 counter -1\n0 nut OB DISCHRG charge 100 counter 3\n"},
    // Two runs of failed reads, each shorter than the bound, a good read between.
    {"TwoGlitchesApartNeverReachNoState", "-n -s 5 -u ups -p 1", R"({"ups": {"status": "0xD9"}, "faults": [{"group":
        "0x5000", "offset": 1, "sequence": [0, 0, "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", 0,
        "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", 0]}]})", {}, {{17500, SIGTERM}}, "^nut",
     "0 nut OB DISCHRG charge 90 counter -1\n0 nut OB DISCHRG charge 90 counter 3\n"
     "17500 nut none: vemid stopped: no UPS state\n"},
    {"AFailedReadIsAskedAgainWithinASecond", "-n -s 5 -u ups -p 5",
     R"({"faults": [{"group": "0x5000", "offset": 1, "sequence": [0, "0x708", 0]}]})", {}, {{11500, SIGTERM}},
     "^ups status", "0 ups status\n5000 ups status failed 0x708\n6000 ups status\n11000 ups status\n"},
    // "Not supported" from a UPS that answered before is a read that failed, not
    // a board without a UPS (which NUT would be told at once).
    {"NotSupportedAfterAnAnswerIsAFailedRead", "-n -s 5 -u ups -p 1", R"({"ups": {"status": "0xD9"}, "faults":
        [{"group": "0x5000", "offset": 1, "sequence": [0, "0x701", "0x701", "0x701", "0x701", 0]}]})", {},
     {{5500, SIGTERM}}, "^nut", "0 nut OB DISCHRG charge 90 counter -1\n0 nut OB DISCHRG charge 90 counter 3\n"
     "5500 nut none: vemid stopped: no UPS state\n",
     {"UPS state unknown (not supported after it answered, read 0x701): the last state stands for 10 s"}},
    // An answer of no byte is nothing known, whatever the buffer holds (here the
    // board writes its byte, "low on battery", and says it wrote none).
    {"AStatusAnswerWithoutItsByteIsNoState", "-n -s 5 -u ups -p 1",
     R"({"ups": {"status": "0xD2"}, "faults": [{"group": "0x5000", "offset": 1, "returned": 0}]})", {},
     {{1500, SIGTERM}}, "^nut", "0 nut none: vemid cannot read the UPS: no current state\n"
     "1500 nut none: vemid stopped: no UPS state\n", {"UPS state unknown (an answer of 0 bytes)"}},
    {"AChargeAbove100IsNone", "-n -s 5 -u ups -p 1", R"({"ups": {"status": "0xDF"}})", {}, {{1500, SIGTERM}},
     "^nut OB", "0 nut OB DISCHRG charge -1 counter -1\n0 nut OB DISCHRG charge -1 counter 3\n"},
};

INSTANTIATE_TEST_SUITE_P(, KeeperCase, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
