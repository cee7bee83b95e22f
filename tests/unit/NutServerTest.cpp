// vemid's side of NUT's driver/server socket protocol, as upsd speaks it: what a
// client reads after each line it sends or each state vemid publishes; and the
// socket's own life (a client that does not read, many clients, leftovers).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "NutServer.h"

namespace {

UpsState State(UpsLine line, int charge, const char* noStateWhy = nullptr)
{
    UpsState s = {};
    s.line = line;
    s.noStateWhy = noStateWhy;
    s.charge = charge;
    s.counter = noStateWhy != nullptr ? -1 : 3;
    s.lowPercent = 30;
    snprintf(s.model, sizeof(s.model), "SIM-100 G3");
    snprintf(s.firmware, sizeof(s.firmware), "1.05");
    return s;
}

const UpsState kOnline = State(kLineOnline, 90);
const UpsState kOnBattery = State(kLineOnBattery, 60);
const UpsState kLost = State(kLineUnknown, -1, "vemid cannot read the UPS: no current state");

struct Server {
    std::string folder;
    NutServer nut;
    UpsSink sink;

    Server()
    {
        char name[] = "/tmp/vemid-nut-XXXXXX";
        folder = mkdtemp(name);
        NutServerStart(&nut, folder.c_str(), "board", (gid_t)-1, &kLost);
        sink = NutServerSink(&nut);
    }
    ~Server()
    {
        NutServerStop(&nut);
        EXPECT_EQ(system(("rm -rf " + folder).c_str()), 0);
    }
    std::string Path() const { return folder + "/vemid-nut-board"; }
    int Connect() const
    {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        struct sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", Path().c_str());
        EXPECT_EQ(connect(fd, (struct sockaddr*)&addr, sizeof(addr)), 0);
        fcntl(fd, F_SETFL, O_NONBLOCK);
        return fd;
    }
    // What the loop does between its steps, until nothing more comes.
    void Serve()
    {
        for (;;) {
            struct pollfd fds[1 + kNutClients];
            int n = NutServerFds(&nut, fds, 1 + kNutClients);
            if (poll(fds, (nfds_t)n, 10) <= 0)
                return;
            NutServerServe(&nut, fds, n, 0);
        }
    }
    void Publish(const UpsState& s) { sink.publish(sink.context, &s, 0); }
};

std::string Take(int fd)
{
    std::string got;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof(buf))) > 0)
        got.append(buf, (size_t)n);
    return got;
}

void SendLine(int fd, const std::string& line)
{
    std::string text = line + "\n";
    EXPECT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), (ssize_t)text.size());
}

// A step: a line the client sends ("" none), or a state published; then what the client reads.
struct Step {
    std::string send;
    const UpsState* publish;
    std::string reads;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

const char kDumpOnline[] =
    "SETINFO device.type \"ups\"\nSETINFO driver.name \"vemid\"\nSETINFO driver.version \"1.00.0001\"\n"
    "SETINFO ups.model \"SIM-100 G3\"\nSETINFO device.model \"SIM-100 G3\"\nSETINFO ups.firmware \"1.05\"\n"
    "SETINFO ups.status \"OL CHRG\"\nSETINFO battery.charge \"90\"\nSETINFO battery.charge.low \"30\"\n"
    "SETINFO experimental.dalv.power_failures \"3\"\nDATAOK\nDUMPDONE\n";

const Case kCases[] = {
    {"BeforeAStateTheDumpSaysStale",
     {{"DUMPALL", nullptr,
       "DATASTALE\nSETINFO device.type \"ups\"\nSETINFO driver.name \"vemid\"\nSETINFO driver.version \"1.00.0001\"\n"
       "SETINFO ups.model \"SIM-100 G3\"\nSETINFO device.model \"SIM-100 G3\"\nSETINFO ups.firmware \"1.05\"\n"
       "SETINFO ups.alarm \"vemid cannot read the UPS: no current state\"\nSETINFO battery.charge.low \"30\"\n"
       "DUMPDONE\n"}}},
    {"AStateGoesOutAtOnceAndTheDumpHasIt",
     {{"", &kOnline,
       "SETINFO ups.status \"OL CHRG\"\nDELINFO ups.alarm\nSETINFO battery.charge \"90\"\n"
       "SETINFO experimental.dalv.power_failures \"3\"\nDATAOK\n"},
      {"DUMPALL", nullptr, kDumpOnline},
      {"", &kOnBattery, "SETINFO ups.status \"OB DISCHRG\"\nSETINFO battery.charge \"60\"\n"},
      {"", &kOnBattery, ""},
      {"", &kLost,
       "DATASTALE\nDELINFO ups.status\nSETINFO ups.alarm \"vemid cannot read the UPS: no current state\"\n"
       "DELINFO battery.charge\nDELINFO experimental.dalv.power_failures\n"}}},
    {"APingIsAnsweredAndCommandsChangeNothing",
     {{"", &kOnline, "*"},
      {"PING", nullptr, "PONG\n"},
      {"ping", nullptr, "PONG\n"},
      {"INSTCMD load.off", nullptr, ""},
      {"INSTCMD load.off 10 TRACKING 1bd31808-cb49-4aec-9d75-d056e6f018d2", nullptr,
       "TRACKING 1bd31808-cb49-4aec-9d75-d056e6f018d2 1\n"},
      {"SET ups.id \"Data \\\"room\\\"\" TRACKING id-2", nullptr, "TRACKING id-2 1\n"},
      {"SET ups.id \"x\" TRACKING \"a b\"", nullptr, ""},
      {"GETPID", nullptr, ""}}},
    {"GarbageAndLongLinesAreSurvived",
     {{std::string("\x01\x02 \xff garbage \"unterminated"), nullptr, ""},
      {std::string(2000, 'x') + " PING", nullptr, ""},
      {std::string("\"\" \"\"\t\r"), nullptr, ""},
      {"PING", nullptr, "PONG\n"}}},
    {"NoBroadcastKeepsThePushesAway",
     {{"NOBROADCAST", nullptr, ""}, {"", &kOnline, ""}, {"BROADCAST 1", nullptr, ""},
      {"", &kOnBattery, "SETINFO ups.status \"OB DISCHRG\"\nSETINFO battery.charge \"60\"\n"}}},
};

class NutProtocol : public testing::TestWithParam<Case> {};

TEST_P(NutProtocol, Exchanges)
{
    Server server;
    int client = server.Connect();
    server.Serve();
    for (const Step& step : GetParam().steps) {
        if (step.publish != nullptr)
            server.Publish(*step.publish);
        else
            SendLine(client, step.send);
        server.Serve();
        std::string got = Take(client);
        if (step.reads != "*") {
            EXPECT_EQ(got, step.reads) << "after " << (step.publish != nullptr ? "a state" : step.send);
        }
    }
    close(client);
}

INSTANTIATE_TEST_SUITE_P(, NutProtocol, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A client that asks and never reads is dropped; the others are served on, and
// so are clients beyond the limit of the ones it keeps, once others went.
TEST(NutSocket, AClientThatDoesNotReadIsDroppedAndOthersAreServed)
{
    Server server;
    int sleeper = server.Connect();
    server.Serve();
    int other = server.Connect();
    server.Serve();
    std::string flood;
    for (int i = 0; i < 2000; i++)
        flood += "DUMPALL\n";
    for (int i = 0; i < 100 && send(sleeper, flood.data(), flood.size(), MSG_NOSIGNAL) > 0; i++) // until dropped
        server.Serve();
    char byte;
    while (read(sleeper, &byte, 1) > 0) {
    }
    EXPECT_EQ(read(sleeper, &byte, 1), 0) << "still connected";
    SendLine(other, "PING");
    server.Serve();
    EXPECT_EQ(Take(other), "PONG\n");
    close(sleeper);
    std::vector<int> many;
    for (int i = 0; i < 200; i++) { // connects and disconnects, up to the limit beside `other`
        many.push_back(server.Connect());
        server.Serve();
        if (many.size() == (size_t)kNutClients - 1) {
            close(many.front());
            many.erase(many.begin());
        }
    }
    SendLine(many.back(), "PING");
    server.Serve();
    EXPECT_EQ(Take(many.back()), "PONG\n");
    many.push_back(server.Connect()); // the limit reached,
    server.Serve();
    int beyond = server.Connect(); // and one more is turned away
    server.Serve();
    EXPECT_EQ(read(beyond, &byte, 1), 0);
    close(beyond);
    for (int fd : many)
        close(fd);
    close(other);
}

// An earlier run's socket is taken over; anything else by its name is never
// touched; at the stop the socket goes, mode 0660 while it stands.
TEST(NutSocket, ALeftoverSocketIsReplacedAndNothingElseIsTouched)
{
    char name[] = "/tmp/vemid-nut-XXXXXX";
    std::string folder = mkdtemp(name), path = folder + "/vemid-nut-board";
    NutServer nut;
    ASSERT_TRUE(NutServerStart(&nut, folder.c_str(), "board", (gid_t)-1, &kLost));
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    NutServer again; // a start after a crash: the socket is still there
    EXPECT_TRUE(NutServerStart(&again, folder.c_str(), "board", (gid_t)-1, &kLost));
    NutServerStop(&nut); // the crashed run's leaves the new one's alone
    EXPECT_EQ(lstat(path.c_str(), &st), 0);
    NutServerStop(&again);
    EXPECT_NE(lstat(path.c_str(), &st), 0);
    ASSERT_EQ(symlink("/etc/passwd", path.c_str()), 0);
    EXPECT_FALSE(NutServerStart(&nut, folder.c_str(), "board", (gid_t)-1, &kLost));
    NutServerStop(&nut);
    EXPECT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(system(("rm -rf " + folder).c_str()), 0);
}

} // namespace
