/* The start-up yardstick: a C program that prints one line. */
#include <stdio.h>

#include "ToolVersion.h"

int main(void)
{
    puts(VEMI_TITLE);
    return 0;
}
