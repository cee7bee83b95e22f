// What a simulated board is: its records, its sensors, its UPS, its user EEPROM,
// raw services, injected faults and, for replay, a recording of real answers.
#ifndef VEMISIM_BOARD_CONFIG_H
#define VEMISIM_BOARD_CONFIG_H

#include <stdint.h>

#include <string>
#include <vector>

struct SensorDef {
    uint32_t type = 0;
    int16_t reading = 0;
    std::string description; // at most 12 bytes; not terminated when it has 12
};

// The UPS status byte from a moment on, on the board's clock.
struct UpsStep {
    uint64_t atMs = 0;
    uint8_t status = 0;
};

struct UpsDef {
    uint8_t status = 0;
    std::vector<UpsStep> timeline; // when not empty, the status over time, in order
    uint8_t versionMajor = 0, versionMinor = 0;
    uint16_t powerFailCounter = 0;
    uint32_t powerFailTimes[3] = {0, 0, 0};
    uint16_t gpioAddress = 0;
    uint8_t gpioOffset = 0, gpioBitmask = 0;
    uint16_t exType = 0, exLength = 0, exFlags = 0;
    uint64_t exAddress = 0, exBitmask = 0;
};

// A service answered with fixed bytes or a generated pattern, for any group and offset.
struct RawServiceDef {
    enum Pattern { kBytes, kZero, kCounter, kRandom };
    uint32_t group = 0, offset = 0;
    Pattern pattern = kBytes;
    std::vector<uint8_t> bytes; // kBytes
    uint64_t size = 0;          // generated patterns
    uint64_t seed = 1;          // kRandom
};

// Changes the answers of matching services: a status (or one per successive call,
// the last one holding afterwards), a cap on the bytes written, a counter value.
struct FaultDef {
    bool anyGroup = true, anyOffset = true;
    uint32_t group = 0, offset = 0;
    std::vector<uint32_t> statuses; // empty: the service's own status
    bool hasTruncate = false;
    uint32_t truncate = 0;
    bool hasReturned = false;
    uint32_t returned = 0;
    uint32_t delayMs = 0; // the answer comes this late, as from a slow driver
    int raiseSignal = 0;  // the call ends in this signal, as a driver call that faults
};

// One request and what the device answered, as a recorder saw it.
struct RecordedRequest {
    uint32_t group = 0, offset = 0;
    std::vector<uint8_t> in;
    uint32_t status = 0;
    std::vector<uint8_t> out; // the output area after the call, trailing zeros cut
    uint32_t returned = 0;
};

struct BoardConfig {
    std::string name;
    std::string description;
    uint8_t versionMajor = 0, versionMinor = 0;
    uint16_t versionBuild = 0;
    std::string boardName; // at most 8 bytes
    uint8_t revision = 0, biosMajor = 0, biosMinor = 0;
    std::vector<SensorDef> sensors;
    bool hasSensorCount = false; // report sensorCount instead of the list's size
    uint32_t sensorCount = 0;
    bool sensorsRepeat = false; // sensors beyond the list answer as the list again, from its first
    UpsDef ups;
    std::vector<uint8_t> userEeprom; // 128 bytes
    std::vector<RawServiceDef> raw;
    std::vector<FaultDef> faults;
    bool replay = false; // answer from `recording` only
    std::vector<RecordedRequest> recording;
};

#define USER_EEPROM_BYTES 128

// Reads a board description. A file names only what differs from the built-in
// default board. False with a message in `error` when the text is not a valid board.
bool ParseBoardText(const std::string& text, BoardConfig* board, std::string* error);
bool LoadBoardFile(const std::string& path, BoardConfig* board, std::string* error);
BoardConfig DefaultBoard();

// Writes a recording as a board file that replays it.
std::string RecordingToBoardText(const std::vector<RecordedRequest>& recording);

// Byte strings in board files are hexadecimal pairs, blanks allowed between them.
std::string HexString(const uint8_t* bytes, size_t len);

#endif
