// The tool's main sequence: the command line read, the device opened, the title
// line, the commands run in table order, the device closed.
#ifndef VEMI_MAIN_SEQUENCE_H
#define VEMI_MAIN_SEQUENCE_H

#include <stdint.h>

#include "VemiTransport.h"

// A whole run over `transport`: returns the result that becomes the exit status.
int32_t VemiMain(const VemiTransport* transport, int argc, char** argv);
int32_t ParseParams(int argc, char** argv);
uint32_t ExecuteCmds(void);
void PrintHeader(void);

#endif
