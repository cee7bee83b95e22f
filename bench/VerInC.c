/* The start-up yardstick: plain C doing VemiCmd /ver's job and no more. It opens
 * the device, makes the same two requests and prints the same lines, so that the
 * device's own cost falls on both sides of the comparison. */
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/ioctl.h>

#include "RequestRecord.h"
#include "ToolVersion.h"

int main(void)
{
    int fd = open("/dev/vemix", O_RDWR);
    if (fd < 0) {
        puts("Open '/dev/vemix' failed");
        return 255;
    }
    puts(VEMI_TITLE);
    uint8_t version[4] = {0}, board[12] = {0};
    uint32_t returned = 0;
    struct request r = {0, 0, NULL, 0, version, sizeof(version), &returned, NULL};
    if (ioctl(fd, 0xC0385201UL, &r) != 0)
        return 1;
    printf("Vemilex Version:         %u.%02u.%04u\n", version[0], version[1], version[2] | version[3] << 8);
    r.offset = 2;
    r.out = board;
    r.outLen = sizeof(board);
    if (ioctl(fd, 0xC0385201UL, &r) != 0)
        return 1;
    printf("Mainboard:               %.8s\nMB-Rev:                  G%u\nBios Version:            %X.%02X\n",
           (const char*)board, board[8], board[9], board[10]);
    return 0;
}
