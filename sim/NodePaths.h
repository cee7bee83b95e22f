// Which paths the preloaded library answers itself: the device node however a
// program spells it, and the machine-wide paths of the programs, each of which
// stands for a file of the run's own.
#ifndef VEMISIM_NODE_PATHS_H
#define VEMISIM_NODE_PATHS_H

// Whether `path`, as openat would take it from `dirfd` (AT_FDCWD: the working
// folder), names /dev/vemix: any lexical spelling (repeated slashes, "." and ".."
// parts), a relative path from /dev or from a folder open on it, and a symbolic
// link to it (followed here, as the kernel would follow it to the real node).
bool IsDevicePathAt(int dirfd, const char* path);

// The path to use for `path` as openat takes it from `dirfd`: under vemisim, a
// machine-wide path (the watchdog lock, vemid -n's pidfile, NUT's state folder)
// or one below it, however reached (a name in a folder open on its folder),
// stands for the same name in the run's folder (VEMISIM_RUN); any other path
// comes back as it is. The result may be a buffer of the calling thread's.
const char* MachinePathAt(int dirfd, const char* path);

#endif
