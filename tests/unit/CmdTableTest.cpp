// The command table and its traits, row for row: what the compiler cannot check.
#include <gtest/gtest.h>

#include <string>

#include "CmdTable.h"

TEST(CmdTable, EveryRowWithAReportRunsAFunctionAndEveryValueRowParsesOne)
{
    for (int i = 0; i < CMD_PARAM_COUNT; i++) {
        const _CmdParam& row = mCmdParams[i];
        const CmdRowTraits& traits = kCmdRowTraits[i];
        SCOPED_TRACE(row.name);
        if (traits.report != NULL) {
            EXPECT_NE(row.execFn, nullptr);
        }
        // A row either runs a command or takes a setting, never both nor neither.
        EXPECT_NE(row.execFn == NULL, row.parseFn == NULL);
        // A keyword that takes a value ends in ':', and only such a row parses one.
        bool takesValue = std::string(row.name).back() == ':';
        EXPECT_EQ(takesValue, traits.value != kValueNone);
    }
}
