// Every command against a board whose answers come from the fuzzer: any status,
// records of any length and content, counters larger than any buffer, texts
// without terminator, sensor counts up to 2^32 bounded by a failing read; in
// each output style.
#include <stdio.h>

#include <string>
#include <vector>

#include "InProcessRun.h"

namespace {

struct Input {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() { return n ? (n--, *p++) : 0; }
    uint32_t U32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++)
            v = v << 8 | Byte();
        return v;
    }
    std::vector<uint8_t> Bytes(size_t max)
    {
        size_t len = max ? Byte() % (max + 1) : 0;
        std::vector<uint8_t> v;
        for (size_t i = 0; i < len; i++)
            v.push_back(Byte());
        return v;
    }
};

const uint32_t kServices[][2] = {
    {0x0000, 0}, {0x0000, 2}, {0x2000, 0}, {0x2000, 1}, {0x2000, 2}, {0x2000, 3},
    {0x5000, 1}, {0x5000, 2}, {0x5000, 3}, {0x5000, 4}, {0x5000, 0xA0}, {0x5000, 0xA1},
    {0x6000, 4}, {0x6000, 0}, {0x6000, 6}, {0x7000, 0}, {0x8000, 1},
};

FaultDef FaultFor(const uint32_t service[2])
{
    FaultDef f;
    f.anyGroup = f.anyOffset = false;
    f.group = service[0];
    f.offset = service[1];
    return f;
}

BoardConfig HostileBoard(Input* in)
{
    BoardConfig b = DefaultBoard();
    b.sensors.clear();
    for (int n = in->Byte() % 5; n > 0; n--) {
        SensorDef s;
        s.type = in->U32();
        s.reading = (int16_t)in->U32();
        std::vector<uint8_t> d = in->Bytes(12);
        s.description.assign(d.begin(), d.end());
        b.sensors.push_back(s);
    }
    if ((b.hasSensorCount = in->Byte() & 1))
        b.sensorCount = in->U32();
    for (const auto& service : kServices) {
        uint32_t statuses[] = {0x701, 0x703, 0x708, in->U32()};
        switch (in->Byte() % 4) {
        case 0: break; // the board's own answer
        case 1: {
            RawServiceDef raw;
            raw.group = service[0];
            raw.offset = service[1];
            raw.bytes = in->Bytes(80);
            b.raw.push_back(raw);
            break;
        }
        case 2: {
            FaultDef f = FaultFor(service);
            f.statuses = {statuses[in->Byte() % 4], statuses[in->Byte() % 4]};
            b.faults.push_back(f);
            break;
        }
        case 3: {
            FaultDef f = FaultFor(service);
            f.hasTruncate = true;
            f.truncate = in->Byte() % 64;
            f.hasReturned = true;
            f.returned = in->U32();
            b.faults.push_back(f);
            break;
        }
        }
    }
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in = {data, size};
    bool silent = in.Byte() & 1;
    BoardConfig board = HostileBoard(&in);
    char ig[32], io[32], olen[32];
    snprintf(ig, sizeof(ig), "/ig:%X", kServices[in.Byte() % 17][0]);
    snprintf(io, sizeof(io), "/io:%X", kServices[in.Byte() % 17][1]);
    snprintf(olen, sizeof(olen), "/olen:%u", in.Byte() * 2u);
    // The reports' texts, their JSON document or their metrics (which cover three).
    static const char* const kStyles[] = {NULL, "--json", "--prometheus"};
    const char* style = kStyles[in.Byte() % 3];
    std::vector<std::vector<std::string>> runs = {
        {"/ver"}, {"/sens"}, {"/dalv"}, {"/dmpusr"}, {"/wdt"}, {ig, io, "/ibuf:B:1,2,3", olen},
    };
    for (auto& args : runs) {
        if (silent)
            args.push_back("/s");
        if (style != NULL)
            args.push_back(style);
        static BoardModel model;
        BoardInit(&model, board);
        RunToolInProcess(args, nullptr, 0, &model);
    }
    return 0;
}
