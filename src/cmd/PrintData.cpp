// Hex dump. Rows are built from lookup tables into one block that is written whole,
// so that dumps of any size run at memory speed and hold no more than the block.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "CmdTable.h"
#include "ExitStatus.h"
#include "ProgramState.h"

namespace {

struct DumpTables {
    char hex[256][2];   // two upper-case digits per byte value
    char glyph[256];    // the byte as a character, or '.' outside 0x20..0x7E
    constexpr DumpTables() : hex(), glyph()
    {
        const char digits[] = "0123456789ABCDEF";
        for (int b = 0; b < 256; b++) {
            hex[b][0] = digits[b >> 4];
            hex[b][1] = digits[b & 15];
            glyph[b] = (b >= 0x20 && b <= 0x7E) ? (char)b : '.';
        }
    }
};
constexpr DumpTables kTables;

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kMaxRow = 80; // longest full-form row
char sBlock[kBlockSize];

struct BlockWriter {
    size_t used = 0;
    char* Reserve(size_t n)
    {
        if (used + n > kBlockSize)
            Flush();
        return sBlock + used;
    }
    void Commit(char* end) { used = (size_t)(end - sBlock); }
    void Flush()
    {
        if (used > 0 && fwrite(sBlock, 1, used, stdout) != used && gOutputErrno == 0)
            gOutputErrno = errno;
        used = 0;
    }
};

inline char* PutHex(char* p, uint8_t b)
{
    p[0] = kTables.hex[b][0];
    p[1] = kTables.hex[b][1];
    return p + 2;
}

// "  %08X:" + 16 × " %02hhX" (dash before column 8) + padding + "  *" + characters + "*\n"
char* PutFullRow(char* p, uint32_t offset, const uint8_t* row, size_t n)
{
    *p++ = ' ';
    *p++ = ' ';
    for (int shift = 28; shift >= 0; shift -= 4)
        *p++ = "0123456789ABCDEF"[(offset >> shift) & 15];
    *p++ = ':';
    for (size_t j = 0; j < n; j++) {
        *p++ = j == 8 ? '-' : ' ';
        p = PutHex(p, row[j]);
    }
    for (size_t j = n; j < 16; j++) {
        memcpy(p, "   ", 3);
        p += 3;
    }
    memcpy(p, "  *", 3);
    p += 3;
    for (size_t j = 0; j < n; j++)
        *p++ = kTables.glyph[row[j]];
    *p++ = '*';
    *p++ = '\n';
    return p;
}

// 16 bytes a line, single blanks between them, no offsets.
char* PutBareRow(char* p, const uint8_t* row, size_t n)
{
    p = PutHex(p, row[0]);
    for (size_t j = 1; j < n; j++) {
        *p++ = ' ';
        p = PutHex(p, row[j]);
    }
    *p++ = '\n';
    return p;
}

} // namespace

void PrintData(const void* data, uint32_t len)
{
    if (data == NULL)
        return;
    if (len == 0) {
        if (gSilentMode)
            fputs("\n", stdout);
        return;
    }
    const uint8_t* bytes = (const uint8_t*)data;
    BlockWriter out;
    for (uint64_t r = 0; r < len; r += 16) {
        size_t n = len - r < 16 ? (size_t)(len - r) : 16;
        char* p = out.Reserve(kMaxRow);
        p = gSilentMode ? PutBareRow(p, bytes + r, n) : PutFullRow(p, (uint32_t)r, bytes + r, n);
        out.Commit(p);
    }
    out.Flush();
}
