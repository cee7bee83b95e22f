// Driver channel of VemiCmd: the request record exchanged with the kernel driver
// behind /dev/vemix, the request number, the status codes, and the functions
// through which every device access goes.
#ifndef VEMI_INTERFACE_H
#define VEMI_INTERFACE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#define VEMI_DEVICE_PATH "/dev/vemix"

// Read-write ioctl, group 'R' (0x52), number 1, 56-byte parameter (vemix_struct).
#define VEMI_IOCTL_REQUEST 0xC0385201UL

// Status codes. 0 is success; any other value is the error number a failed request left.
#define VEMI_SUCCESS 0x000u
#define VEMI_NOT_SUPPORTED 0x701u      // service not supported
#define VEMI_GPIO_NOT_SUPPORTED 0x703u // not supported, as the GPIO reads of the UPS report it
#define VEMI_DEVICE_BUSY 0x708u        // device busy
#define VEMI_NO_MORE 0xFFFFFFFFu       // -1: end of a walk, or the node could not be opened

// Either of the driver's words for "not supported".
inline bool VemiNotSupported(uint32_t status)
{
    return status == VEMI_NOT_SUPPORTED || status == VEMI_GPIO_NOT_SUPPORTED;
}

// The request record handed to the driver. Native x86-64 layout, little-endian;
// every byte position is fixed because the kernel reads it.
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

extern int gVemix_dev;  // descriptor of the open device node; 0 before VemiInit
extern bool gDebugMode; // debug switch: trace every request and the close
extern bool gVemiOutToStderr; // the channel's own lines (open failure, debug trace) go to
                              // standard error, as standard output carries a document
extern bool gVemiOpenMessage; // VemiInit prints its failure (not when a document carries it)
extern int gVemiOpenError;    // the error number of VemiInit's failed open; 0 otherwise
// When set, PrintVemiError hands its line to this instead of printing it.
extern void (*gVemiErrorSink)(const char* what, uint32_t status, const char* line);

// Opens the device node. 0 on success; prints a message and returns -1 when it cannot.
int32_t VemiInit(void);

// Issues one request and blocks until the driver answers. Returns 0, or the error
// number the failed request left. The buffers and the counter belong to the caller.
uint32_t VemiIoCall(uint32_t indexGroup, uint32_t indexOffset, void* inBuffer,
                    uint32_t inBufferLen, void* outBuffer, uint32_t outBufferLen,
                    uint32_t* bytesReturned);

// Ends the channel; always 0. The descriptor is left to process exit.
int32_t VemiClose(void);

// Prints one line telling how the operation `what` ended; nothing when `what` is null.
void PrintVemiError(const char* what, uint32_t status);

#endif
