// /help: the fixed help screen.
#include <stdio.h>

#include "Commands.h"

uint32_t ShowHelp(void*)
{
    // The screen names the tool by this fixed text, whatever name it was started under.
    const char name[8] = "VemiCmd";
    printf("%s  \n", name);
    printf("  /?        This Dialog\n");
    printf("  /ver      Displays API- and Biosversion\n");
    printf("  /sens     Shows all Sensor-Values\n");
    printf("  /dalv     DALV Informations\n");
    printf("  /dmpusr   dump UserEEPROM\n");
    printf("  /wdt      test Watchdog\n");
    printf("            t: Watchdogtime in second\n");
    printf("            r: retriggertime in second\n");
    printf("\n");
    printf("Vemilex direct Call:\n");
    printf("  /ig:      IndexGroup(Hex)\n");
    printf("  /io:      IndexOffset(Hex)\n");
    printf("  /ibuf:    Type:Inbuffer\n");
    printf("  /olen:    OutBuffer size(Decimal)\n");
    printf("  /s        silent mode\n");
    printf("\n");
    printf("Inbuffer formats:\n");
    printf("\t/ibuf:A:<ansi string>\n");
    printf("\t/ibuf:B:<byte (HEX)>,<byte (HEX)>,...\n");
    printf("\t/ibuf:W:<word (HEX)>,<word (HEX)>,...\n");
    printf("\t/ibuf:D:<dword (HEX)>,<dword (HEX)>,...\n");
    printf("Examples:\n");
    printf("  Show all sensor values:\n");
    printf("   %s /sens\n\n", name);
    printf("  Vemilex direct Call: Turn USR LED red\n");
    printf("   %s /ig:0x8000 /io:0x1 /ibuf:B:1 /olen:0\n", name);
    return 0;
}
