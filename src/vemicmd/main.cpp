// VemiCmd: firmware services of the board through the driver at /dev/vemix.
#include "ExitStatus.h"
#include "MainSequence.h"

int main(int argc, char** argv)
{
    GuardStandardStreams();
    return FinishOutput(ExitStatusOf((uint32_t)VemiMain(&kVemiIoctlTransport, argc, argv)));
}
