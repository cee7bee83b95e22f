// /ver, /sens, /dmpusr and /dalv: each a report over the tool's channel, written
// in the run's output style.
#include "Commands.h"
#include "OutputStyle.h"
#include "Reports.h"
#include "VemiInterface.h"

uint32_t ShowVersion(void*)
{
    return RunVersionReport(&gVemiChannel, &gReportWriter);
}

uint32_t ShowVemiSensors(void*)
{
    return RunSensorReport(&gVemiChannel, &gReportWriter);
}

uint32_t ShowUserEeprom(void*)
{
    return RunUserEepromReport(&gVemiChannel, &gReportWriter);
}

uint32_t ShowDalvInfo(void*)
{
    return RunUpsReport(&gVemiChannel, &gReportWriter);
}
