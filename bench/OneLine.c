/* The start-up yardstick: a C program that prints one line. */
#include <stdio.h>

int main(void)
{
    puts("Vemilex Commandline Tool 1.00.0001");
    return 0;
}
