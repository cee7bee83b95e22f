// The command table, and beside it, row for row, what else each row is.
#include "CmdTable.h"

#include <string.h>

#include "Commands.h"
#include "Options.h"
#include "Reports.h"

// Order decides both matching (first match wins) and execution.
_CmdParam mCmdParams[CMD_PARAM_COUNT] = {
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

const CmdRowTraits kCmdRowTraits[CMD_PARAM_COUNT] = {
    //         report               value           label              direct  metrics  not after a failure
    /* help */ {NULL,                kValueNone,     NULL,              false,  false,   false},
    /* ver */  {kReportVersion,      kValueNone,     NULL,              false,  true,    false},
    /* sens */ {kReportSensors,      kValueNone,     NULL,              false,  true,    false},
    /* dmpusr*/{kReportUserEeprom,   kValueNone,     NULL,              false,  false,   false},
    /* wdt */  {kReportWatchdogTest, kValueNone,     NULL,              false,  false,   true},
    /* dalv */ {kReportUps,          kValueNone,     NULL,              false,  true,    false},
    /* ig: */  {NULL,                kValueHex,      "IndexGroup",      true,   false,   false},
    /* io: */  {NULL,                kValueHex,      "IndexOffset",     true,   false,   false},
    /* olen: */{NULL,                kValueLength,   "OutBufferLength", true,   false,   false},
    /* ibuf: */{NULL,                kValueInBuffer, NULL,              true,   false,   false},
    /* s */    {NULL,                kValueNone,     NULL,              false,  true,    false},
    /* d */    {NULL,                kValueNone,     NULL,              false,  true,    false},
};

const char* CmdValueText(const _CmdParam* row, char** argv, int32_t position)
{
    return argv[position] + 1 + strnlen(row->name, sizeof(row->name));
}
