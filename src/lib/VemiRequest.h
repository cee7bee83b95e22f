// The request record that the kernel driver behind /dev/vemix takes, and the one
// ioctl that passes it. Native x86-64 layout, little-endian; every byte position is
// fixed because the kernel reads it.
#ifndef VEMI_REQUEST_H
#define VEMI_REQUEST_H

#include <stddef.h>
#include <stdint.h>

#define VEMI_DEVICE_PATH "/dev/vemix"

// Read-write ioctl, group 'R' (0x52), number 1, 56-byte parameter (vemix_struct).
#define VEMI_IOCTL_REQUEST 0xC0385201UL

struct vemix_struct {
    uint32_t indexGroup;   // index group of the service
    uint32_t indexOffset;  // index offset of the service
    void* inBuffer;        // input bytes, null when there are none
    uint32_t inBufferLen;  // number of input bytes
    void* outBuffer;       // output area, null when there is none
    uint32_t outBufferLen; // size of the output area
    uint32_t* bytesReturned; // caller's counter, set by the driver to the bytes it wrote
    void* reserved;        // always null

    vemix_struct() = default;
    vemix_struct(uint32_t group, uint32_t offset, void* in, uint32_t inLen, void* out,
                 uint32_t outLen, uint32_t* returned, void* res)
        : indexGroup(group), indexOffset(offset), inBuffer(in), inBufferLen(inLen),
          outBuffer(out), outBufferLen(outLen), bytesReturned(returned), reserved(res) {}
};

static_assert(sizeof(void*) == 8, "the driver's record layout is that of a 64-bit process");
static_assert(sizeof(vemix_struct) == 56, "vemix_struct must be 56 bytes");
static_assert(offsetof(vemix_struct, indexGroup) == 0, "indexGroup at 0");
static_assert(offsetof(vemix_struct, indexOffset) == 4, "indexOffset at 4");
static_assert(offsetof(vemix_struct, inBuffer) == 8, "inBuffer at 8");
static_assert(offsetof(vemix_struct, inBufferLen) == 16, "inBufferLen at 16");
static_assert(offsetof(vemix_struct, outBuffer) == 24, "outBuffer at 24");
static_assert(offsetof(vemix_struct, outBufferLen) == 32, "outBufferLen at 32");
static_assert(offsetof(vemix_struct, bytesReturned) == 40, "bytesReturned at 40");
static_assert(offsetof(vemix_struct, reserved) == 48, "reserved at 48");
static_assert((VEMI_IOCTL_REQUEST & 0x1FFF0000UL) >> 16 == sizeof(vemix_struct),
              "the request number carries the record size");

#endif
