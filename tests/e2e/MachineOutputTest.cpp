// The JSON document, read by a real parser, holds what the text report of the same
// board shows, on every board of the library and on boards that fail, and its
// exit_status is the process's. Exact documents are in cases/machine.cases; the
// metrics are read by Prometheus's parser in tests/metrics.py.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdarg.h>

#include <nlohmann/json.hpp>

#include "RunTool.h"

using nlohmann::json;

namespace {

std::string Format(const char* format, ...)
{
    char text[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof(text), format, ap);
    va_end(ap);
    return text;
}

// The text after a report line's label, to the line end; "-" when there is none.
std::string After(const std::string& text, const std::string& label)
{
    size_t at = ("\n" + text).find("\n" + label);
    return at == std::string::npos ? "-" : text.substr(at + label.size(), text.find('\n', at) - at - label.size());
}

// Names the text shows as they are: printable ASCII.
bool Plain(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

void CompareVersion(const json& v, const std::string& text)
{
    EXPECT_EQ(After(text, "Vemilex Version:         "), v["interface"].is_null() ? "-" : v["interface"]["text"]);
    const json& b = v["mainboard"];
    EXPECT_EQ(After(text, "MB-Rev:                  G"), b.is_null() ? "-" : b["revision"].dump());
    EXPECT_EQ(After(text, "Bios Version:            "), b.is_null() ? "-" : b["bios_version"]);
    if (!b.is_null() && Plain(b["name"])) {
        EXPECT_EQ(After(text, "Mainboard:               "), b["name"]);
    }
}

// Each sensor's line in order, up to the first that failed; found rather than
// split, as a name may hold a line end.
void CompareSensors(const json& sensors, const std::string& text)
{
    size_t at = 0;
    for (const json& s : sensors.is_null() ? json::array() : sensors) {
        std::string unit = s.is_null() || s["unit"].is_null() ? "" : s["unit"].get<std::string>();
        std::string line = s.is_null() ? "Reading sensor"
                           : Format(": %8.2f %s\n", s["value"].get<double>(), unit.c_str());
        if (!s.is_null() && Plain(s["name"]))
            line = Format("%-15s", s["name"].get<std::string>().c_str()) + line;
        size_t found = text.find(line, at);
        ASSERT_NE(found, std::string::npos) << line;
        at = found + line.size();
        if (s.is_null())
            break; // the text ends at the first failed read; the document goes on
    }
}

std::string Hex(std::string bareDump)
{
    bareDump.erase(std::remove_if(bareDump.begin(), bareDump.end(), isspace), bareDump.end());
    std::transform(bareDump.begin(), bareDump.end(), bareDump.begin(), tolower);
    return bareDump;
}

std::string Gpio(const json& g, const char* shown)
{
    return g.is_null() ? "read failed" : !g["supported"] ? "not supported" : shown;
}

void CompareUps(const json& u, const std::string& text)
{
    if (u["supported"].is_null()) // the status read failed: no claim either way
        return;
    if (!u["supported"]) {
        EXPECT_EQ(text, "Service not Supported\n");
        return;
    }
    const json& s = u["status"];
    std::string state = s.is_null() ? "0x0" : s["state"] == "charging" ? Format("Charging -> %d%%", (int)s["charge_percent"])
                      : s["state"] == "discharging" ? Format("Discharging -> %d%%", (int)s["charge_percent"])
                      : s["state"] == "disabled" ? "DALV Disabled" : Format("0x%X", (int)s["byte"]);
    EXPECT_EQ(After(text, "Status:                  "), state);
    EXPECT_EQ(After(text, "DALV Version:            "), u["version"].is_null() ? "0.00" : u["version"]["text"]);
    EXPECT_EQ(After(text, "PwrFail Counter:         "), u["power_fail_counter"].is_null() ? "0" : u["power_fail_counter"].dump());
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(After(text, Format("PwrFail Time[%d]:         ", i)),
                  u["power_fail_times"].is_null() ? "0" : u["power_fail_times"][i].dump());
    const json& g = u["gpio"];
    std::string shown = g.is_null() || !g["supported"] ? "" : Format("Addr(IO): 0x%04X Bitmask: 0x%02X", (int)g["address"], (int)g["bitmask"]);
    EXPECT_EQ(After(text, "GPIO Info:   ").substr(0, Gpio(g, "").empty() ? 99 : Gpio(g, "").size()),
              Gpio(g, shown.c_str()));
    const json& x = u["gpio_ex"];
    std::string ex = x.is_null() || !x["supported"] ? "" : Format("Addr: 0x%016llX", (unsigned long long)x["address"]);
    EXPECT_EQ(After(text, "GPIO InfoEx: ").substr(0, Gpio(x, ex.c_str()).size()), Gpio(x, ex.c_str()));
}

TEST(Json, HoldsWhatTheTextReportShowsOnEveryBoard)
{
    for (const char* board :
         {"default", "busy", "full-names", "no-gpio-ex", "no-sensors", "no-ups", "odd-names", "ups-on-battery",
          R"({"faults": [{"group": "0x2000", "offset": 3, "status": "0x708"}]})",
          R"({"faults": [{"group": "0x5000", "offset": 2, "status": "0x33"}, {"group": "0x5000", "offset": "0xA0", "status": "0x5"}]})",
          R"({"faults": [{"group": "0x5000", "offset": 1, "status": "0x708"}]})",
          R"({"faults": [{"truncate": 4, "returned": 20}]})"}) {
        RunOptions o;
        (board[0] == '{' ? o.boardJson : o.board) = board;
        for (const char* command : {"/ver", "/sens", "/dmpusr", "/dalv"}) {
            RunResult text = RunVemiCmd({"/s", command}, o), doc = RunVemiCmd({"--json", command}, o);
            SCOPED_TRACE(std::string(board) + " " + command);
            json d = json::parse(doc.out); // one document and nothing else, or this throws
            EXPECT_EQ(d["json_format_version"], json::array({1, 2}));
            EXPECT_EQ(d["exit_status"], doc.exitStatus);
            // An answer shorter than its record: the text shows what the record
            // holds, the document fails its read (short-answer cases in machine.cases).
            if (doc.out.find("short answer: ") != std::string::npos) {
                EXPECT_EQ(doc.exitStatus, text.exitStatus == 0 ? 255 : text.exitStatus);
                continue;
            }
            // A record the board does not have, and a board without sensors, are
            // answers in the document, failures in the text.
            bool exNotSupported = d.contains("ups") && d["ups"].contains("gpio_ex") &&
                                  d["ups"]["gpio_ex"].is_object() && !d["ups"]["gpio_ex"]["supported"];
            bool noSensors = d.contains("sensors") && d["sensors"] == json::array();
            EXPECT_EQ(doc.exitStatus, (exNotSupported && (text.exitStatus == 1 || text.exitStatus == 3)) ||
                                              (noSensors && text.exitStatus == 255) ? 0 : text.exitStatus);
            EXPECT_EQ(d["errors"].empty(), doc.exitStatus == 0);
            if (d.contains("version"))
                CompareVersion(d["version"], text.out);
            if (d.contains("sensors"))
                CompareSensors(d["sensors"], text.out);
            if (d.contains("user_eeprom") && !d["user_eeprom"].is_null()) {
                EXPECT_EQ(d["user_eeprom"]["data"], Hex(text.out));
            }
            if (d.contains("ups"))
                CompareUps(d["ups"], text.out);
        }
    }
}

// Device text that is valid UTF-8 comes back from a JSON parser as it was: escaped
// control characters, separators and backslashes included.
TEST(Json, DeviceTextParsesBackToWhatTheBoardHolds)
{
    RunOptions o;
    o.boardJson = R"({"raw": [{"group": "0x0", "offset": "0x2", "bytes": "1F 5C 41 5C 5C 22 0A 00 03 10 05 00"},
        {"group": "0x2000", "offset": "0x0", "bytes": "01 00 00 00"},
        {"group": "0x2000", "offset": "0x1", "bytes": "01000000 00000000 2D00 0000 0000000000000000000000000000000000000000000000000000000000000000 C2 85 E2 80 A8 7F 09 5C 00 00 00 00"}]})";
    RunResult r = RunVemiCmd({"--json", "/ver", "/sens"}, o);
    json d = json::parse(r.out);
    EXPECT_EQ(d["version"]["mainboard"]["name"], "\x1F\\A\\\\\"\n");
    EXPECT_EQ(d["sensors"][0]["name"], "\xC2\x85\xE2\x80\xA8\x7F\t\\");
    EXPECT_EQ(r.out.find('\x1F'), std::string::npos); // escaped, never raw
    EXPECT_EQ(r.out.find("\xE2\x80\xA8"), std::string::npos);
}

// The document is dated: the time of the reading in seconds and as the local
// time's text, in the time zone of the run.
TEST(Json, SaysWhenTheReadingWasTaken)
{
    for (const char* zone : {"UTC", "Asia/Kolkata"}) {
        setenv("TZ", zone, 1);
        tzset();
        RunOptions o;
        o.fastClock = false; // the board's clock stands still under the fast clock; the wall clock does not
        time_t before = time(NULL);
        RunResult r = RunVemiCmd({"--json", "/ver"}, o);
        time_t after = time(NULL);
        json t = json::parse(r.out)["local_time"];
        time_t at = t["time_t"].get<time_t>();
        EXPECT_GE(at, before);
        EXPECT_LE(at, after);
        char text[64];
        struct tm local;
        strftime(text, sizeof(text), "%a %b %e %H:%M:%S %Y %Z", localtime_r(&at, &local));
        EXPECT_EQ(t["asctime"], text) << zone;
    }
    unsetenv("TZ");
    tzset();
}

// The signal that ends the watchdog test ends it after the document is written
// whole; a fault signal sent by another process takes the same way.
TEST(Json, ASignalEndsTheWatchdogTestAfterAWholeDocument)
{
    for (auto [sig, name] : {std::pair<int, const char*>{SIGTERM, "SIGTERM"}, {SIGSEGV, "SIGSEGV"}}) {
        RunOptions o;
        o.fastClock = false;
        o.signal = sig;
        o.when = "Press any key";
        RunResult r = RunVemiCmd({"--json", "/wdt"}, o);
        EXPECT_EQ(r.signal, sig);
        json d = json::parse(r.out);
        EXPECT_EQ(d["watchdog_test"]["outcome"], "signal");
        EXPECT_EQ(d["watchdog_test"]["signal"], name);
        EXPECT_EQ(d["watchdog_test"]["disarm_status"], 0);
        EXPECT_TRUE(d["exit_status"].is_null());
        EXPECT_EQ(d["ended_by_signal"], name);
        EXPECT_NE(r.trace.find("0x6000/0x0 in=00 out=0 status=0x0"), std::string::npos) << name;
    }
}

} // namespace
