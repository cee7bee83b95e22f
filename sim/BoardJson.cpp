// Board files: JSON read with nlohmann-json. Strict: an unknown field or a value out
// of range is an error naming where it is, so a typo never passes silently.
#include <ctype.h>
#include <signal.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <stdlib.h>

#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "BoardConfig.h"

using nlohmann::json;

extern const char kDefaultBoardJson[]; // generated from boards/default.json

namespace {

struct BoardError {
    std::string message;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what)
{
    throw BoardError{where + ": " + what};
}

void CheckFields(const json& obj, const std::string& where, std::set<std::string> allowed)
{
    if (!obj.is_object())
        Fail(where, "expected an object");
    for (auto it = obj.begin(); it != obj.end(); ++it)
        if (!allowed.count(it.key()))
            Fail(where, "unknown field '" + it.key() + "'");
}

// Integers may be JSON numbers or strings such as "0x701" and "-150".
long long ToInteger(const json& v, const std::string& where, long long lo, unsigned long long hi)
{
    std::string range = "expected an integer from " + std::to_string(lo) + " to " + std::to_string(hi);
    if (v.is_number_unsigned()) {
        unsigned long long u = v.get<unsigned long long>();
        if (u > hi)
            Fail(where, range);
        return (long long)u;
    }
    if (v.is_number_integer()) {
        long long s = v.get<long long>();
        if (s < lo || (s >= 0 && (unsigned long long)s > hi))
            Fail(where, range);
        return s;
    }
    if (v.is_string()) {
        const std::string& text = v.get_ref<const std::string&>();
        const char* begin = text.c_str();
        char* end = NULL;
        errno = 0;
        if (!text.empty() && text[0] == '-') {
            long long s = strtoll(begin, &end, 0);
            if (errno == 0 && end != begin && *end == '\0' && s >= lo)
                return s;
        } else {
            unsigned long long u = strtoull(begin, &end, 0);
            if (errno == 0 && end != begin && *end == '\0' && u <= hi)
                return (long long)u;
        }
    }
    Fail(where, range);
}

uint64_t ToU64(const json& v, const std::string& where)
{
    if (v.is_string()) {
        const std::string& text = v.get_ref<const std::string&>();
        char* end = NULL;
        errno = 0;
        unsigned long long u = strtoull(text.c_str(), &end, 0);
        if (errno == 0 && end != text.c_str() && *end == '\0' && text[0] != '-')
            return u;
        Fail(where, "expected an integer from 0 to 18446744073709551615");
    }
    return (uint64_t)ToInteger(v, where, 0, UINT64_MAX >> 1);
}

template <typename T> void Set(const json& obj, const char* key, const std::string& where, T* out)
{
    if (!obj.contains(key))
        return;
    std::string at = where + "." + key;
    if (sizeof(T) == 8)
        *out = (T)ToU64(obj[key], at);
    else
        *out = (T)ToInteger(obj[key], at, 0, (T)~(T)0);
}

std::string ToText(const json& v, const std::string& where, size_t maxLen)
{
    if (!v.is_string())
        Fail(where, "expected a text");
    std::string s = v.get<std::string>();
    if (s.size() > maxLen)
        Fail(where, "longer than " + std::to_string(maxLen) + " bytes");
    return s;
}

std::vector<uint8_t> ToBytes(const json& v, const std::string& where)
{
    if (!v.is_string())
        Fail(where, "expected a text of hexadecimal byte pairs");
    std::vector<uint8_t> bytes;
    const std::string& s = v.get_ref<const std::string&>();
    for (size_t i = 0; i < s.size();) {
        if (s[i] == ' ' || s[i] == '\n' || s[i] == '\t') {
            i++;
            continue;
        }
        if (i + 1 >= s.size() || !isxdigit((unsigned char)s[i]) || !isxdigit((unsigned char)s[i + 1]))
            Fail(where, "expected hexadecimal byte pairs, found '" + s.substr(i, 2) + "'");
        bytes.push_back((uint8_t)strtoul(s.substr(i, 2).c_str(), NULL, 16));
        i += 2;
    }
    return bytes;
}

const json& ArrayAt(const json& obj, const char* key, const std::string& where)
{
    const json& a = obj[key];
    if (!a.is_array())
        Fail(where + "." + key, "expected an array");
    return a;
}

std::string Index(const std::string& where, const char* key, size_t i)
{
    return where + "." + key + "[" + std::to_string(i) + "]";
}

void ReadSensors(const json& root, BoardConfig* b)
{
    const json& list = ArrayAt(root, "sensors", "board");
    b->sensors.clear();
    for (size_t i = 0; i < list.size(); i++) {
        std::string at = Index("board", "sensors", i);
        CheckFields(list[i], at, {"type", "reading", "description"});
        SensorDef s;
        Set(list[i], "type", at, &s.type);
        if (list[i].contains("reading"))
            s.reading = (int16_t)ToInteger(list[i]["reading"], at + ".reading", -32768, 32767);
        if (list[i].contains("description"))
            s.description = ToText(list[i]["description"], at + ".description", 12);
        b->sensors.push_back(s);
    }
}

void ReadUps(const json& u, UpsDef* ups)
{
    const std::string at = "board.ups";
    CheckFields(u, at, {"status", "timeline", "version", "powerFailCounter", "powerFailTimes", "gpio", "gpioEx"});
    Set(u, "status", at, &ups->status);
    if (u.contains("timeline")) {
        const json& steps = ArrayAt(u, "timeline", at);
        ups->timeline.clear();
        for (size_t i = 0; i < steps.size(); i++) {
            std::string where = Index(at, "timeline", i);
            CheckFields(steps[i], where, {"at", "status"});
            if (!steps[i].contains("at") || !steps[i].contains("status"))
                Fail(where, "a step needs 'at' (milliseconds) and 'status'");
            UpsStep step;
            step.atMs = (uint64_t)ToInteger(steps[i]["at"], where + ".at", 0, UINT32_MAX);
            Set(steps[i], "status", where, &step.status);
            if (!ups->timeline.empty() && step.atMs < ups->timeline.back().atMs)
                Fail(where + ".at", "the steps must come in time order");
            ups->timeline.push_back(step);
        }
    }
    if (u.contains("version")) {
        CheckFields(u["version"], at + ".version", {"major", "minor"});
        Set(u["version"], "major", at + ".version", &ups->versionMajor);
        Set(u["version"], "minor", at + ".version", &ups->versionMinor);
    }
    Set(u, "powerFailCounter", at, &ups->powerFailCounter);
    if (u.contains("powerFailTimes")) {
        const json& t = ArrayAt(u, "powerFailTimes", at);
        if (t.size() != 3)
            Fail(at + ".powerFailTimes", "expected three times");
        for (size_t i = 0; i < 3; i++)
            ups->powerFailTimes[i] = (uint32_t)ToInteger(t[i], Index(at, "powerFailTimes", i), 0, UINT32_MAX);
    }
    if (u.contains("gpio")) {
        const json& g = u["gpio"];
        CheckFields(g, at + ".gpio", {"address", "offset", "bitmask"});
        Set(g, "address", at + ".gpio", &ups->gpioAddress);
        Set(g, "offset", at + ".gpio", &ups->gpioOffset);
        Set(g, "bitmask", at + ".gpio", &ups->gpioBitmask);
    }
    if (u.contains("gpioEx")) {
        const json& g = u["gpioEx"];
        CheckFields(g, at + ".gpioEx", {"type", "length", "flags", "address", "bitmask"});
        Set(g, "type", at + ".gpioEx", &ups->exType);
        Set(g, "length", at + ".gpioEx", &ups->exLength);
        Set(g, "flags", at + ".gpioEx", &ups->exFlags);
        Set(g, "address", at + ".gpioEx", &ups->exAddress);
        Set(g, "bitmask", at + ".gpioEx", &ups->exBitmask);
    }
}

void ReadRaw(const json& root, BoardConfig* b)
{
    const json& list = ArrayAt(root, "raw", "board");
    b->raw.clear();
    for (size_t i = 0; i < list.size(); i++) {
        std::string at = Index("board", "raw", i);
        const json& e = list[i];
        CheckFields(e, at, {"group", "offset", "bytes", "size", "pattern", "seed"});
        if (!e.contains("group") || !e.contains("offset"))
            Fail(at, "a raw service needs 'group' and 'offset'");
        RawServiceDef r;
        Set(e, "group", at, &r.group);
        Set(e, "offset", at, &r.offset);
        if (e.contains("bytes")) {
            if (e.contains("size") || e.contains("pattern"))
                Fail(at, "give either 'bytes' or 'size' with 'pattern'");
            r.bytes = ToBytes(e["bytes"], at + ".bytes");
        } else {
            if (!e.contains("size"))
                Fail(at, "a raw service needs 'bytes' or 'size'");
            r.size = ToU64(e["size"], at + ".size");
            if (r.size > UINT32_MAX)
                Fail(at + ".size", "expected an integer from 0 to 4294967295");
            std::string pattern = e.contains("pattern") ? ToText(e["pattern"], at + ".pattern", 16) : "zero";
            if (pattern == "zero")
                r.pattern = RawServiceDef::kZero;
            else if (pattern == "counter")
                r.pattern = RawServiceDef::kCounter;
            else if (pattern == "random")
                r.pattern = RawServiceDef::kRandom;
            else
                Fail(at + ".pattern", "expected \"zero\", \"counter\" or \"random\"");
            if (e.contains("seed"))
                r.seed = ToU64(e["seed"], at + ".seed");
        }
        b->raw.push_back(r);
    }
}

void ReadFaults(const json& root, BoardConfig* b)
{
    const json& list = ArrayAt(root, "faults", "board");
    b->faults.clear();
    for (size_t i = 0; i < list.size(); i++) {
        std::string at = Index("board", "faults", i);
        const json& e = list[i];
        CheckFields(e, at, {"group", "offset", "status", "sequence", "truncate", "returned", "delay", "raise"});
        FaultDef f;
        if ((f.anyGroup = !e.contains("group")) == false)
            Set(e, "group", at, &f.group);
        if ((f.anyOffset = !e.contains("offset")) == false)
            Set(e, "offset", at, &f.offset);
        if (e.contains("status") && e.contains("sequence"))
            Fail(at, "give either 'status' or 'sequence'");
        if (e.contains("status"))
            f.statuses.push_back((uint32_t)ToInteger(e["status"], at + ".status", 0, UINT32_MAX));
        if (e.contains("sequence")) {
            const json& seq = ArrayAt(e, "sequence", at);
            if (seq.empty())
                Fail(at + ".sequence", "expected at least one status");
            for (size_t k = 0; k < seq.size(); k++)
                f.statuses.push_back((uint32_t)ToInteger(seq[k], Index(at, "sequence", k), 0, UINT32_MAX));
        }
        if ((f.hasTruncate = e.contains("truncate")))
            Set(e, "truncate", at, &f.truncate);
        if ((f.hasReturned = e.contains("returned")))
            Set(e, "returned", at, &f.returned);
        if (e.contains("delay"))
            f.delayMs = (uint32_t)ToInteger(e["delay"], at + ".delay", 0, 60000);
        if (e.contains("raise")) {
            std::string name = ToText(e["raise"], at + ".raise", 8);
            f.raiseSignal = name == "SEGV" ? SIGSEGV : name == "BUS" ? SIGBUS : name == "ILL" ? SIGILL
                          : name == "FPE" ? SIGFPE : 0;
            if (f.raiseSignal == 0)
                Fail(at + ".raise", "expected \"SEGV\", \"BUS\", \"ILL\" or \"FPE\"");
        }
        if (f.statuses.empty() && !f.hasTruncate && !f.hasReturned && f.delayMs == 0 && f.raiseSignal == 0)
            Fail(at, "a fault needs 'status', 'sequence', 'truncate', 'returned', 'delay' or 'raise'");
        b->faults.push_back(f);
    }
}

void ReadRecording(const json& root, BoardConfig* b)
{
    const json& list = ArrayAt(root, "recording", "board");
    b->recording.clear();
    b->replay = true;
    for (size_t i = 0; i < list.size(); i++) {
        std::string at = Index("board", "recording", i);
        const json& e = list[i];
        CheckFields(e, at, {"group", "offset", "in", "status", "out", "returned"});
        RecordedRequest r;
        Set(e, "group", at, &r.group);
        Set(e, "offset", at, &r.offset);
        if (e.contains("in"))
            r.in = ToBytes(e["in"], at + ".in");
        Set(e, "status", at, &r.status);
        if (e.contains("out"))
            r.out = ToBytes(e["out"], at + ".out");
        Set(e, "returned", at, &r.returned);
        b->recording.push_back(r);
    }
}

void ReadBoard(const json& root, BoardConfig* b)
{
    CheckFields(root, "board", {"name", "description", "version", "mainboard", "sensors", "sensorCount",
                                "sensorsRepeat", "ups", "userEeprom", "raw", "faults", "recording"});
    if (root.contains("name"))
        b->name = ToText(root["name"], "board.name", 64);
    if (root.contains("description"))
        b->description = ToText(root["description"], "board.description", 200);
    if (root.contains("version")) {
        const json& v = root["version"];
        CheckFields(v, "board.version", {"major", "minor", "build"});
        Set(v, "major", "board.version", &b->versionMajor);
        Set(v, "minor", "board.version", &b->versionMinor);
        Set(v, "build", "board.version", &b->versionBuild);
    }
    if (root.contains("mainboard")) {
        const json& m = root["mainboard"];
        CheckFields(m, "board.mainboard", {"name", "revision", "biosMajor", "biosMinor"});
        if (m.contains("name"))
            b->boardName = ToText(m["name"], "board.mainboard.name", 8);
        Set(m, "revision", "board.mainboard", &b->revision);
        Set(m, "biosMajor", "board.mainboard", &b->biosMajor);
        Set(m, "biosMinor", "board.mainboard", &b->biosMinor);
    }
    if (root.contains("sensors"))
        ReadSensors(root, b);
    if ((b->hasSensorCount = root.contains("sensorCount")))
        Set(root, "sensorCount", "board", &b->sensorCount);
    if (root.contains("sensorsRepeat")) {
        if (!root["sensorsRepeat"].is_boolean())
            Fail("board.sensorsRepeat", "true or false expected");
        b->sensorsRepeat = root["sensorsRepeat"].get<bool>();
    }
    if (root.contains("ups"))
        ReadUps(root["ups"], &b->ups);
    if (root.contains("userEeprom")) {
        b->userEeprom = ToBytes(root["userEeprom"], "board.userEeprom");
        if (b->userEeprom.size() > USER_EEPROM_BYTES)
            Fail("board.userEeprom", "more than 128 bytes");
        b->userEeprom.resize(USER_EEPROM_BYTES, 0xFF); // erased cells read as FF
    }
    if (root.contains("raw"))
        ReadRaw(root, b);
    if (root.contains("faults"))
        ReadFaults(root, b);
    if (root.contains("recording"))
        ReadRecording(root, b);
}

// A message is one line, whatever bytes the file held: it is printed after the
// file's name, and a field name or text in it came from the file.
std::string OneLine(std::string message)
{
    for (char& ch : message)
        if ((unsigned char)ch < 0x20 || ch == 0x7F)
            ch = '?';
    return message;
}

bool ParseInto(const std::string& text, BoardConfig* board, std::string* error)
{
    try {
        json root = json::parse(text);
        BoardConfig b = *board;
        ReadBoard(root, &b);
        *board = b;
        return true;
    } catch (const BoardError& e) {
        *error = OneLine(e.message);
    } catch (const json::exception& e) {
        *error = OneLine(e.what());
    }
    return false;
}

} // namespace

BoardConfig DefaultBoard()
{
    BoardConfig board;
    std::string error;
    if (!ParseInto(kDefaultBoardJson, &board, &error))
        abort(); // the built-in board is checked by the tests
    return board;
}

bool ParseBoardText(const std::string& text, BoardConfig* board, std::string* error)
{
    *board = DefaultBoard();
    return ParseInto(text, board, error);
}

bool LoadBoardFile(const std::string& path, BoardConfig* board, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = std::string("cannot read: ") + strerror(errno);
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        *error = "cannot read the file";
        return false;
    }
    return ParseBoardText(text.str(), board, error);
}

std::string HexString(const uint8_t* bytes, size_t len)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(len * 2);
    for (size_t i = 0; i < len; i++) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

static std::string Hex32(uint32_t v)
{
    char buf[16];
    snprintf(buf, sizeof(buf), "0x%X", v);
    return buf;
}

std::string RecordingToBoardText(const std::vector<RecordedRequest>& recording)
{
    // Written by hand rather than through json::dump so that the file stays one
    // request a line, readable in a bug report.
    std::string s = "{\n  \"name\": \"recording\",\n  \"description\": \"Requests recorded by vemisim --record\",\n  \"recording\": [";
    for (size_t i = 0; i < recording.size(); i++) {
        const RecordedRequest& r = recording[i];
        s += i ? ",\n    " : "\n    ";
        s += "{\"group\": \"" + Hex32(r.group) + "\", \"offset\": \"" + Hex32(r.offset) + "\", \"in\": \"" +
             HexString(r.in.data(), r.in.size()) + "\", \"status\": \"" + Hex32(r.status) +
             "\", \"out\": \"" + HexString(r.out.data(), r.out.size()) +
             "\", \"returned\": " + std::to_string(r.returned) + "}";
    }
    s += recording.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return s;
}
