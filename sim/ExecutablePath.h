// Where the running program's file is, from the system rather than argv[0], which
// holds a bare name when the program was found through PATH.
#ifndef VEMISIM_EXECUTABLE_PATH_H
#define VEMISIM_EXECUTABLE_PATH_H

#include <string>

// The absolute path of this program's file; empty when the system does not say.
std::string ExecutablePath();

#endif
