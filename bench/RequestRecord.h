/* The driver's request record, in C, for the benchmark's C programs (the tool's
 * own vemix_struct is C++). */
#ifndef VEMI_BENCH_REQUEST_RECORD_H
#define VEMI_BENCH_REQUEST_RECORD_H

#include <stdint.h>

struct request {
    uint32_t group, offset;
    void* in;
    uint32_t inLen;
    void* out;
    uint32_t outLen;
    uint32_t* returned;
    void* reserved;
};

#endif
