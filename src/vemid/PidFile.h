// The pidfile, which is also the lock on the watchdog (see WatchdogLock.h): held
// for as long as vemid runs, by the detached process too.
#ifndef VEMID_PID_FILE_H
#define VEMID_PID_FILE_H

// 0 with the file locked and open in `*fd`; EWOULDBLOCK with the holder's pid in
// `*holder` (0 when the file does not say); or the error number of the file.
int PidFileOpen(const char* path, int* fd, long* holder);
// Writes this process's pid into it.
void PidFileWrite(int fd);
// Removes it: the lock goes with the descriptor.
void PidFileRemove(const char* path, int fd);

#endif
