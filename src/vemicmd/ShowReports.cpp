// /ver, /sens, /dmpusr and /dalv: each a report over the tool's channel, written
// in the run's output style.
#include "Commands.h"
#include "OutputStyle.h"
#include "Reports.h"
#include "VemiInterface.h"

namespace {

uint32_t Run(uint32_t (*report)(VemiChannel* channel, const ReportWriter* w))
{
    VemiChannel channel = VemiToolChannel();
    return report(&channel, &gRun.writer);
}

} // namespace

uint32_t ShowVersion(void*)
{
    return Run(RunVersionReport);
}

uint32_t ShowVemiSensors(void*)
{
    return Run(RunSensorReport);
}

uint32_t ShowUserEeprom(void*)
{
    return Run(RunUserEepromReport);
}

uint32_t ShowDalvInfo(void*)
{
    return Run(RunUpsReport);
}
