// The simulated board: answers one request record the way the kernel driver does.
// It reads inBufferLen input bytes, writes at most outBufferLen bytes, sets the
// caller's counter, or fails with a status code; it never trusts an address.
#ifndef VEMISIM_BOARD_MODEL_H
#define VEMISIM_BOARD_MODEL_H

#include <stdint.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "BoardConfig.h"
#include "SharedBoard.h"

// Larger inputs are refused with EINVAL, as a driver bounds what it copies in.
#define BOARD_MAX_INPUT (1u << 20)

struct BoardModel {
    BoardConfig board;
    std::vector<uint32_t> faultCalls; // calls seen by each fault, for status sequences
    std::vector<bool> recordingUsed;  // replay: entries already answered
    std::set<std::string> unanswered; // replay: requests the recording lacks, told once each
    // The watchdog and the clock: vemisim's board when it runs this process, else `local`.
    SharedBoard* shared = nullptr;
    SharedBoard local = {};
    int32_t pid = 0; // names this process in trace lines once several share the board
    uint8_t userLed = 0;
    std::function<void(const std::string&)> trace;  // one call per trace line, without '\n'
    std::function<void(const std::string&)> warn;   // a line for the user, without '\n'
    std::function<void()> restarted;                 // the board restarted: ends the process, if set
    std::function<void(uint32_t)> delay;             // waits so many real milliseconds
    std::function<void(int)> raise;                  // a request that faults: the signal, if set
    std::vector<std::string> events; // what the current request did, traced after its line
};

// Puts the model in its start state with this board; the callbacks, the pid and a
// shared board already set stay (a shared board is not reset: other processes use it).
void BoardInit(BoardModel* model, const BoardConfig& board);

// Answers the request whose record is at `record` (caller memory). 0 or a status code.
uint32_t BoardRequest(BoardModel* model, const void* record);

// The board's clock in milliseconds since it started: real time plus whatever the
// fast clock skipped.
uint64_t BoardNowMs(const BoardModel* model);
uint64_t BoardNowUs(const BoardModel* model);
// Fast clock: time passes for the board without waiting.
void BoardAdvanceClock(BoardModel* model, uint64_t ms);
// What the fast clock has skipped so far on this board, for every process under it.
int64_t BoardSkippedMs(BoardModel* model);
// The process is ending. On a board of its own, an armed watchdog will restart the
// machine; a shared board is vemisim's to watch, as other processes may retrigger it.
void BoardAtExit(BoardModel* model);

// One trace line: service, input bytes, output size, status, bytes returned.
std::string TraceLine(uint32_t group, uint32_t offset, const std::vector<uint8_t>& in,
                      uint32_t outLen, uint32_t status, uint32_t returned);

// The bytes of a generated raw service, from position `pos` on.
void FillPattern(const RawServiceDef& raw, uint64_t pos, uint8_t* dst, size_t len);

#endif
