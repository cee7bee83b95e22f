// Programs the simulated board cannot be preloaded into: run under vemisim, they
// would pass the board by and reach the real /dev/vemix (on a machine with the
// driver, the real board). A statically linked program has no dynamic loader to
// preload with; for a set-user-ID or set-group-ID program whose owner or group is
// not the caller's, the loader drops LD_PRELOAD.
#ifndef VEMISIM_PRELOADABLE_H
#define VEMISIM_PRELOADABLE_H

// Why the program `path` would run without the board ("statically linked",
// "set-user-ID", "set-group-ID"), or null when the board is preloaded into it (or
// it cannot be read: exec will say why). A script is judged by its interpreter.
// Async-signal-safe: it allocates nothing and prints nothing, for a child of vfork.
const char* WhyNotPreloadable(const char* path);

// The program execvp would run for `file`, searched in PATH as execvp searches it,
// into `out`; false when none is found.
bool FindProgram(const char* file, char* out, unsigned size);

#endif
