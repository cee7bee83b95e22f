// --prometheus-file, as node_exporter's textfile collector reads it: a reader that
// reads while runs publish finds a whole document every time, and a file system
// that is full keeps the last one (and nothing beside it).
#include <gtest/gtest.h>

#include <stdlib.h>

#include "RunTool.h"

namespace {

// A large document (10 000 sensors), published twenty times over while a reader
// reads it as fast as it can: every read ends in the run's success gauge.
TEST(PublishedFile, AReaderNeverReadsPartOfADocument)
{
    RunOptions o;
    o.boardJson = R"({"sensorCount": 10000, "sensorsRepeat": true})";
    o.timeoutMs = 120000;
    RunResult r = RunVemisim(
        {"--board", "board.json", "--", "/bin/sh", "-c",
         "p=" + VemiCmdPath() + "; $p --prometheus-file=m.prom /sens; "
         "( for i in $(seq 20); do $p --prometheus-file=m.prom /sens || echo failed; done ) & w=$!; reads=0; "
         "while kill -0 $w 2>/dev/null; do tail -n 1 m.prom | grep -qx 'vemi_success 1' || echo partial; "
         "reads=$((reads + 1)); done; wait $w; [ $reads -gt 20 ] && echo read often; ls -a | grep -c vemicmd-"},
        o);
    EXPECT_EQ(r.out, "read often\n0\n") << r.err;
}

// A full file system: the run says why, exits 255, and the last document stays,
// alone. In a file system of the test's own: root and unshare(1).
TEST(PublishedFile, AFullFileSystemReplacesNothing)
{
    if (system("unshare -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "no private mount namespace here (needs root and unshare)";
    RunOptions o;
    o.boardJson = R"({"sensorCount": 2000, "sensorsRepeat": true})";
    RunResult r = RunVemisim(
        {"--board", "board.json", "--", "unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
         "mkdir fs && mount -t tmpfs -o size=64k tmpfs fs || exit 77; echo 'vemi_success 1' >fs/m.prom; "
         "dd if=/dev/zero of=fs/fill bs=1024 2>/dev/null; " + VemiCmdPath() +
             " --prometheus-file=fs/m.prom /sens; echo exit $?; cat fs/m.prom; ls fs"},
        o);
    if (r.exitStatus == 77)
        GTEST_SKIP() << "no tmpfs could be mounted here";
    EXPECT_EQ(r.out, "exit 255\nvemi_success 1\nfill\nm.prom\n");
    EXPECT_NE(r.err.find("VemiCmd: cannot write fs/m.prom: No space left on device"), std::string::npos) << r.err;
}

} // namespace
