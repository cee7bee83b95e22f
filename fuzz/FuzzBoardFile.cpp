// Board files and recordings come from other people (bug reports, --replay): any
// text is read into a board or refused with one line that says what is wrong, never
// a crash. A board read is served a request of each service, and a recording read
// is written back as a board file that reads the same.
#include <stdlib.h>

#include <string>

#include "BoardModel.h"
#include "VemiRequest.h"
#include "VemiStatus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BoardConfig board;
    std::string error;
    if (!ParseBoardText(std::string((const char*)data, size), &board, &error)) {
        if (error.empty() || error.find('\n') != std::string::npos)
            abort();
        return 0;
    }
    if (board.replay) {
        BoardConfig again;
        if (!ParseBoardText(RecordingToBoardText(board.recording), &again, &error) ||
            again.recording.size() != board.recording.size())
            abort();
    }
    for (RawServiceDef& raw : board.raw)
        raw.size = raw.size > 4096 ? 4096 : raw.size; // served below into a buffer of 4096
    for (FaultDef& fault : board.faults)
        fault.delayMs = 0;
    BoardModel model;
    BoardInit(&model, board);
    static uint8_t out[4096];
    static const uint32_t services[][2] = {{0, 0}, {0, 2}, {0x2000, 0}, {0x2000, 1}, {0x2000, 2}, {0x5000, 1},
                                           {0x5000, 0xA0}, {0x5000, 0xA1}, {0x7000, 0}, {0x8000, 1}};
    uint8_t one = 1;
    for (const auto& s : services) {
        uint32_t returned = 0;
        vemix_struct request(s[0], s[1], &one, 1, out, sizeof(out), &returned, nullptr);
        BoardRequest(&model, &request);
    }
    for (const RawServiceDef& raw : board.raw) {
        uint32_t returned = 0;
        vemix_struct request(raw.group, raw.offset, nullptr, 0, out, sizeof(out), &returned, nullptr);
        BoardRequest(&model, &request);
    }
    return 0;
}
