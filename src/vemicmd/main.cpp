// VemiCmd: firmware services of the board through the driver at /dev/vemix.
#include "CmdTable.h"
#include "ExitStatus.h"
#include "VemiInterface.h"

int main(int argc, char** argv)
{
    GuardStandardStreams();
    VemiUseTransport(&kVemiIoctlTransport);
    return FinishOutput(ExitStatusOf((uint32_t)VemiMain(argc, argv)));
}
