// Hex dump. Rows are built from lookup tables into one block that is written whole,
// so that dumps of any size run at memory speed and hold no more than the block.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "HexDump.h"
#include "RunStreams.h"

namespace {

// Per byte value, as 4-byte little-endian words written with one store each
// (the fourth byte is overwritten by what follows):
//   spaced: ' ', hi, lo     (full form column)
//   bare:   hi, lo, ' '     (bare form byte and its separator)
struct DumpTables {
    uint32_t spaced[256];
    uint32_t bare[256];
    char glyph[256]; // the byte as a character, or '.' outside 0x20..0x7E
    constexpr DumpTables() : spaced(), bare(), glyph()
    {
        const char digits[] = "0123456789ABCDEF";
        for (int b = 0; b < 256; b++) {
            uint32_t hi = (unsigned char)digits[b >> 4], lo = (unsigned char)digits[b & 15];
            spaced[b] = ' ' | hi << 8 | lo << 16 | (uint32_t)' ' << 24;
            bare[b] = hi | lo << 8 | (uint32_t)' ' << 16 | (uint32_t)' ' << 24;
            glyph[b] = (b >= 0x20 && b <= 0x7E) ? (char)b : '.';
        }
    }
};
constexpr DumpTables kTables;

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kMaxRow = 80 + 4; // longest full-form row, and room for the last word store

struct BlockWriter {
    RunStreams* streams;
    size_t used = 0;
    char block[kBlockSize];
    char* Reserve(size_t n)
    {
        if (used + n > kBlockSize)
            Flush();
        return block + used;
    }
    void Commit(char* end) { used = (size_t)(end - block); }
    void Flush()
    {
        WriteOutput(streams, block, used);
        used = 0;
    }
};

inline void Put4(char* p, uint32_t word)
{
    memcpy(p, &word, 4);
}

// "  %08X:" + 16 x " %02hhX" (a dash before column 8) + padding + "  *" + characters + "*\n"
char* PutFullRow(char* p, uint32_t offset, const uint8_t* row, size_t n)
{
    p[0] = ' ';
    p[1] = ' ';
    for (int i = 0; i < 4; i++) // two digits per byte of the offset, most significant first
        memcpy(p + 2 + 2 * i, (const char*)&kTables.bare[(offset >> (24 - 8 * i)) & 0xFF], 2);
    p[10] = ':';
    char* col = p + 11;
    if (n == 16) { // the common case, with bounds the compiler can unroll
        for (size_t j = 0; j < 16; j++)
            Put4(col + 3 * j, kTables.spaced[row[j]]);
        col[24] = '-';
        memcpy(col + 48, "  *", 3);
        char* tail = col + 51;
        for (size_t j = 0; j < 16; j++)
            tail[j] = kTables.glyph[row[j]];
        tail[16] = '*';
        tail[17] = '\n';
        return tail + 18;
    }
    for (size_t j = 0; j < n; j++)
        Put4(col + 3 * j, kTables.spaced[row[j]]);
    if (n > 8)
        col[24] = '-';
    memset(col + 3 * n, ' ', 3 * (16 - n));
    char* tail = col + 48;
    memcpy(tail, "  *", 3);
    tail += 3;
    for (size_t j = 0; j < n; j++)
        tail[j] = kTables.glyph[row[j]];
    tail[n] = '*';
    tail[n + 1] = '\n';
    return tail + n + 2;
}

// 16 bytes a line, single blanks between them, no offsets.
char* PutBareRow(char* p, const uint8_t* row, size_t n)
{
    if (n == 16) {
        for (size_t j = 0; j < 16; j++)
            Put4(p + 3 * j, kTables.bare[row[j]]);
        p[47] = '\n';
        return p + 48;
    }
    for (size_t j = 0; j < n; j++)
        Put4(p + 3 * j, kTables.bare[row[j]]);
    p[3 * n - 1] = '\n';
    return p + 3 * n;
}

} // namespace

void HexDump(RunStreams* streams, const void* data, uint32_t len, bool bare)
{
    if (data == NULL)
        return;
    if (len == 0) {
        if (bare)
            WriteOutput(streams, "\n", 1);
        return;
    }
    const uint8_t* bytes = (const uint8_t*)data;
    BlockWriter out;
    out.streams = streams;
    for (uint64_t r = 0; r < len; r += 16) {
        size_t n = len - r < 16 ? (size_t)(len - r) : 16;
        char* p = out.Reserve(kMaxRow);
        p = bare ? PutBareRow(p, bytes + r, n) : PutFullRow(p, (uint32_t)r, bytes + r, n);
        out.Commit(p);
    }
    out.Flush();
}
