// The simulated board: answers one request record the way the kernel driver does.
// It reads inBufferLen input bytes, writes at most outBufferLen bytes, sets the
// caller's counter, or fails with a status code; it never trusts an address.
#ifndef VEMISIM_BOARD_MODEL_H
#define VEMISIM_BOARD_MODEL_H

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "BoardConfig.h"
#include "WatchdogShare.h"

// Larger inputs are refused with EINVAL, as a driver bounds what it copies in.
#define BOARD_MAX_INPUT (1u << 20)

struct BoardModel {
    BoardConfig board;
    std::vector<uint32_t> faultCalls; // calls seen by each fault, for status sequences
    std::vector<bool> recordingUsed;  // replay: entries already answered
    // Watchdog: armed for wdtArmedSeconds (0 = disarmed) since the last kick.
    bool wdtPowerControl = false;
    uint32_t wdtArmedSeconds = 0;
    uint64_t wdtKickMs = 0;
    uint64_t wdtArmedAtMs = 0;   // board clock of the first arm
    uint32_t wdtKicks = 0;       // retriggers since
    uint64_t wdtLongestGapMs = 0; // longest time the watchdog went without a retrigger
    WatchdogSlot* shared = nullptr; // where vemisim keeps watch too; null: no one else
    uint8_t userLed = 0;
    uint64_t clockSkewMs = 0; // time the fast clock skipped
    std::function<void(const std::string&)> trace; // one call per trace line, without '\n'
    std::vector<std::string> events; // what the current request did, traced after its line
};

// Puts the model in its start state with this board; a trace sink and a shared
// watchdog slot already set stay.
void BoardInit(BoardModel* model, const BoardConfig& board);

// Answers the request whose record is at `record` (caller memory). 0 or a status code.
uint32_t BoardRequest(BoardModel* model, const void* record);

// The board's clock in milliseconds: real time plus whatever the fast clock skipped.
uint64_t BoardNowMs(const BoardModel* model);
// Fast clock: time passes for the board without waiting.
void BoardAdvanceClock(BoardModel* model, uint64_t ms);
// The process is ending: an armed watchdog will restart the machine.
void BoardAtExit(BoardModel* model);

// One trace line: service, input bytes, output size, status, bytes returned.
std::string TraceLine(uint32_t group, uint32_t offset, const std::vector<uint8_t>& in,
                      uint32_t outLen, uint32_t status, uint32_t returned);

// The bytes of a generated raw service, from position `pos` on.
void FillPattern(const RawServiceDef& raw, uint64_t pos, uint8_t* dst, size_t len);

#endif
