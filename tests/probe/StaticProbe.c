/* A statically linked program: no dynamic loader, so nothing preloaded into it. */
#include <stdio.h>

int main(void)
{
    puts("a static program ran");
    return 0;
}
