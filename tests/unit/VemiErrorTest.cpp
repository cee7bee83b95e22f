// The wording of request outcomes and the exit statuses are in the cases of
// tests/e2e/cases; what no command can show is here.
#include <gtest/gtest.h>

#include "CaptureStdout.h"
#include "VemiInterface.h"

TEST(PrintVemiError, AnUnnamedOperationPrintsNothing)
{
    EXPECT_EQ(CaptureStdout([] { PrintVemiError(NULL, 0x701); }), "");
}
