// vemid's command line:
//   vemid [-dhn] [-t seconds] [-s seconds] [-e command [-T seconds] [-U user[:group]]] [-x seconds]
//         [-I pidfile] [-N ups [-S statepath] [-G group]] [-u file]
//         [-L percent] [-p seconds] [-P flagfile] [-m file]
#ifndef VEMID_VEMID_OPTIONS_H
#define VEMID_VEMID_OPTIONS_H

#include <stddef.h>

struct VemidOptions {
    bool help;                // -h: the usage was printed on standard output; nothing to run
    bool foreground;          // -d: stays in the foreground, logs to standard error too
    bool neverArm;            // -n: reads and writes the files, never touches the watchdog
    int watchdogSeconds;      // -t: 2 to 255
    int feedSeconds;          // -s: at least 1, at most half of -t
    const char* check;        // -e: run through the shell before each feed
    int checkSeconds;         // -T: the check's time limit
    const char* checkUser;    // -U: the check runs as this user (null: as vemid, root); its name
    long checkUid, checkGid;  //     and ids: the user's group unless one is named
    int shutdownSeconds;      // -x: armed this long after a stop for a reboot (SIGUSR1)
    const char* pidFile;      // -I: also the lock on the watchdog, unless -n
    const char* upsName;      // -N: the UPS served to upsd, as ups.conf names it
    const char* nutFolder;    // -S: NUT's state path, where upsd finds the socket
    long nutGroup;            // -G: NUT's group; -1: the state path's
    const char* upsFile;      // -u: the UPS for NUT's dummy-ups
    int lowBatteryPercent;    // -L
    int upsSeconds;           // -p
    const char* powerDownFlag; // -P: NUT's POWERDOWNFLAG
    const char* metricsFile;  // -m
    const char* startFolder;  // where vemid was started: the check runs there
    char absolute[5][1024];   // the relative paths above, made absolute
};


#define VEMID_EXIT_USAGE 64       // EX_USAGE
#define VEMID_EXIT_UNAVAILABLE 69 // EX_UNAVAILABLE: no device, or busy all the start long
#define VEMID_EXIT_SOFTWARE 70    // EX_SOFTWARE: the watchdog could not be armed
#define VEMID_EXIT_OSERR 71       // EX_OSERR: the pidfile, or detaching, failed
#define VEMID_EXIT_RUNNING 75     // EX_TEMPFAIL: another vemid holds the watchdog
#define VEMID_EXIT_CONFIG 78      // EX_CONFIG: the health check cannot run at all

// 0, or VEMID_EXIT_USAGE after the problem and the usage on standard error.
int ParseVemidOptions(int argc, char** argv, VemidOptions* options);

#endif
