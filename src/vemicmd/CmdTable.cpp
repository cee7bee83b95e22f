// The command table, and beside it, row for row, what else each row is.
#include "CmdTable.h"

#include <string.h>

#include "Commands.h"
#include "Options.h"
#include "Reports.h"

namespace {

// The rows as the tool starts; mCmdParams takes them at each start. Order decides
// both matching (first match wins) and execution.
constexpr _CmdParam kRowsAtStart[CMD_PARAM_COUNT] = {
    {"help", NULL, ShowHelp, NULL, false},
    {"ver", NULL, ShowVersion, NULL, false},
    {"sens", NULL, ShowVemiSensors, NULL, false},
    {"dmpusr", NULL, ShowUserEeprom, NULL, false},
    {"wdt", NULL, TriggerWdt, NULL, false},
    {"dalv", NULL, ShowDalvInfo, NULL, false},
    {"ig:", ParseIndexGroup, NULL, NULL, false},
    {"io:", ParseIndexOffset, NULL, NULL, false},
    {"olen:", ParseOutBufferLen, NULL, NULL, false},
    {"ibuf:", ParseInBuffer, NULL, NULL, false},
    {"s", ActivateSilentMode, NULL, NULL, false},
    {"d", ActivateDebugMode, NULL, NULL, false},
};

} // namespace

_CmdParam mCmdParams[CMD_PARAM_COUNT];

constexpr CmdRowTraits kCmdRowTraits[CMD_PARAM_COUNT] = {
    // keyword  report               value           direct  metrics  not after a failure
    {"help",   NULL,                kValueNone,     false,  false,   false},
    {"ver",    kReportVersion,      kValueNone,     false,  true,    false},
    {"sens",   kReportSensors,      kValueNone,     false,  true,    false},
    {"dmpusr", kReportUserEeprom,   kValueNone,     false,  false,   false},
    {"wdt",    kReportWatchdogTest, kValueNone,     false,  false,   true},
    {"dalv",   kReportUps,          kValueNone,     false,  true,    false},
    {"ig:",    NULL,                kValueHex,      true,   false,   false},
    {"io:",    NULL,                kValueHex,      true,   false,   false},
    {"olen:",  NULL,                kValueLength,   true,   false,   false},
    {"ibuf:",  NULL,                kValueInBuffer, true,   false,   false},
    {"s",      NULL,                kValueNone,     false,  true,    false},
    {"d",      NULL,                kValueNone,     false,  true,    false},
};

namespace {

constexpr bool SameKeyword(const char* a, const char* b)
{
    for (int i = 0; i < 8; i++)
        if (a[i] != b[i])
            return false;
    return true;
}

// Each traits row stands beside its table row. (That a row with a report has a
// function to run is a unit test's: with null checks kept, as the sanitizers keep
// them, the compiler will not compare a function's address at compile time.)
constexpr bool SameRows(void)
{
    for (int i = 0; i < CMD_PARAM_COUNT; i++)
        if (!SameKeyword(kRowsAtStart[i].name, kCmdRowTraits[i].keyword))
            return false;
    return true;
}
static_assert(SameRows(), "kCmdRowTraits must have the rows of the command table, in its order");

} // namespace

void ResetCommandTable(void)
{
    memcpy(mCmdParams, kRowsAtStart, sizeof(mCmdParams));
}
