// The tool's standard wording of how an operation ended, and the names of the
// reports' operations, so that the text, the document's errors and the programs'
// messages say the same.
#ifndef VEMI_OUTCOME_H
#define VEMI_OUTCOME_H

#include <stddef.h>
#include <stdint.h>

// "%s succeeded", "Function %s not supported", "Function %s failed: Device Busy",
// or "%s failed with error 0x%04X"; no line end.
void FormatOutcome(char* line, size_t size, const char* what, uint32_t status);

// A GPIO record's line when it could not be read: "LABEL not supported" or
// "LABEL read failed with error 0x%x".
void FormatGpioFailure(char* line, size_t size, const char* label, uint32_t status);

#define OP_VERSION "Reading Vemi Version"
#define OP_MAINBOARD "Reading Mainboard information"
#define OP_SENSOR_COUNT "Reading max number of sensors"
#define OP_SENSOR "Reading sensor"
#define OP_NO_SENSORS "Listing sensors"
#define OP_UPS_STATUS "Reading DALV status"
#define OP_UPS_VERSION "Reading DALV version"
#define OP_UPS_COUNTER "Reading PwrFail counter"
#define OP_UPS_TIMES "Reading PwrFail times"
#define OP_GPIO "Reading GPIO Info"
#define OP_GPIO_EX "Reading GPIO InfoEx"
#define OP_USER_EEPROM "Reading user eeprom"

#define GPIO_LABEL "GPIO Info:  "
#define GPIO_EX_LABEL "GPIO InfoEx:"

#endif
