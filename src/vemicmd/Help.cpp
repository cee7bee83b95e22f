// /help: the fixed help screen, for a person: on standard error when standard
// output carries a document.
#include <stdio.h>

#include "Commands.h"
#include "OutputStyle.h"

uint32_t ShowHelp(void*)
{
    // The screen names the tool by this fixed text, whatever name it was started under.
    const char name[8] = "VemiCmd";
    Say("%s  \n", name);
    Say("  /?        This Dialog\n");
    Say("  /ver      Displays API- and Biosversion\n");
    Say("  /sens     Shows all Sensor-Values\n");
    Say("  /dalv     DALV Informations\n");
    Say("  /dmpusr   dump UserEEPROM\n");
    Say("  /wdt      test Watchdog\n");
    Say("            t: Watchdogtime in second\n");
    Say("            r: retriggertime in second\n");
    Say("\n");
    Say("Vemilex direct Call:\n");
    Say("  /ig:      IndexGroup(Hex)\n");
    Say("  /io:      IndexOffset(Hex)\n");
    Say("  /ibuf:    Type:Inbuffer\n");
    Say("  /olen:    OutBuffer size(Decimal)\n");
    Say("  /s        silent mode\n");
    Say("\n");
    Say("Inbuffer formats:\n");
    Say("\t/ibuf:A:<ansi string>\n");
    Say("\t/ibuf:B:<byte (HEX)>,<byte (HEX)>,...\n");
    Say("\t/ibuf:W:<word (HEX)>,<word (HEX)>,...\n");
    Say("\t/ibuf:D:<dword (HEX)>,<dword (HEX)>,...\n");
    Say("Examples:\n");
    Say("  Show all sensor values:\n");
    Say("   %s /sens\n\n", name);
    Say("  Vemilex direct Call: Turn USR LED red\n");
    Say("   %s /ig:0x8000 /io:0x1 /ibuf:B:1 /olen:0\n", name);
    return 0;
}
