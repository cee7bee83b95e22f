// /help and --help: the fixed help screen, for a person: on standard error when
// standard output carries a document.
#include <stdio.h>

#include "Commands.h"
#include "OutputStyle.h"

void PrintHelpScreen(FILE* out)
{
    // The screen names the tool by this fixed text, whatever name it was started under.
    const char name[8] = "VemiCmd";
    fprintf(out, "%s  \n", name);
    fprintf(out, "  /?        This Dialog\n");
    fprintf(out, "  /ver      Displays API- and Biosversion\n");
    fprintf(out, "  /sens     Shows all Sensor-Values\n");
    fprintf(out, "  /dalv     DALV Informations\n");
    fprintf(out, "  /dmpusr   dump UserEEPROM\n");
    fprintf(out, "  /wdt      test Watchdog\n");
    fprintf(out, "            t: Watchdogtime in second\n");
    fprintf(out, "            r: retriggertime in second\n");
    fprintf(out, "\n");
    fprintf(out, "Vemilex direct Call:\n");
    fprintf(out, "  /ig:      IndexGroup(Hex)\n");
    fprintf(out, "  /io:      IndexOffset(Hex)\n");
    fprintf(out, "  /ibuf:    Type:Inbuffer\n");
    fprintf(out, "  /olen:    OutBuffer size(Decimal)\n");
    fprintf(out, "  /s        silent mode\n");
    fprintf(out, "\n");
    fprintf(out, "Inbuffer formats:\n");
    fprintf(out, "\t/ibuf:A:<ansi string>\n");
    fprintf(out, "\t/ibuf:B:<byte (HEX)>,<byte (HEX)>,...\n");
    fprintf(out, "\t/ibuf:W:<word (HEX)>,<word (HEX)>,...\n");
    fprintf(out, "\t/ibuf:D:<dword (HEX)>,<dword (HEX)>,...\n");
    fprintf(out, "Examples:\n");
    fprintf(out, "  Show all sensor values:\n");
    fprintf(out, "   %s /sens\n\n", name);
    fprintf(out, "  Vemilex direct Call: Turn USR LED red\n");
    fprintf(out, "   %s /ig:0x8000 /io:0x1 /ibuf:B:1 /olen:0\n", name);
}

uint32_t ShowHelp(void*)
{
    PrintHelpScreen(PersonOut());
    return 0;
}
