#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "AddressCheck.h"
#include "Recorder.h"
#include "SharedBoard.h"
#include "VemiRequest.h"
#include "VemiStatus.h"

RecordedRequest RecordBefore(const vemix_struct& request)
{
    RecordedRequest r;
    r.group = request.indexGroup;
    r.offset = request.indexOffset;
    r.in.resize(request.inBufferLen);
    if (!CopyFromCaller(r.in.data(), request.inBuffer, r.in.size()))
        r.in.clear();
    return r;
}

namespace {

// A journal entry: group, offset, status, returned, the input's and the output's
// length (32 bits each, this machine's order), then their bytes.
void Append(std::string* out, uint32_t value)
{
    out->append((const char*)&value, sizeof(value));
}

std::string ToJournal(const RecordedRequest& r)
{
    std::string entry;
    for (uint32_t v : {r.group, r.offset, r.status, r.returned, (uint32_t)r.in.size(), (uint32_t)r.out.size()})
        Append(&entry, v);
    entry.append(r.in.begin(), r.in.end());
    entry.append(r.out.begin(), r.out.end());
    return entry;
}

std::vector<RecordedRequest> FromJournal(int fd)
{
    std::vector<RecordedRequest> requests;
    std::string all;
    char buf[65536];
    for (ssize_t n; (n = pread(fd, buf, sizeof(buf), (off_t)all.size())) > 0;)
        all.append(buf, (size_t)n);
    for (size_t at = 0; at + 24 <= all.size();) {
        uint32_t v[6];
        memcpy(v, all.data() + at, sizeof(v));
        at += sizeof(v);
        if (at + (size_t)v[4] + v[5] > all.size())
            break;
        RecordedRequest r;
        r.group = v[0], r.offset = v[1], r.status = v[2], r.returned = v[3];
        r.in.assign(all.begin() + (long)at, all.begin() + (long)(at + v[4]));
        at += v[4];
        r.out.assign(all.begin() + (long)at, all.begin() + (long)(at + v[5]));
        at += v[5];
        requests.push_back(r);
    }
    return requests;
}

void Save(const std::string& path, const std::vector<RecordedRequest>& requests)
{
    std::string temp = path + ".part";
    FILE* f = fopen(temp.c_str(), "w");
    if (f == NULL)
        return;
    std::string text = RecordingToBoardText(requests);
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = fclose(f) == 0 && ok;
    if (ok)
        rename(temp.c_str(), path.c_str());
}

} // namespace

void RecordAfter(Recorder* recorder, RecordedRequest r, const vemix_struct& request, uint32_t status)
{
    r.status = status;
    // The tool clears its output areas, so the area after the call, without its
    // trailing zeros, is what the device wrote; failures too, as reports show them.
    r.out.resize(request.outBufferLen);
    if (!CopyFromCaller(r.out.data(), request.outBuffer, r.out.size()))
        r.out.clear();
    while (!r.out.empty() && r.out.back() == 0)
        r.out.pop_back();
    if (!CopyFromCaller(&r.returned, request.bytesReturned, sizeof(r.returned)))
        r.returned = 0;
    if (recorder->journal < 0) {
        recorder->requests.push_back(r);
        Save(recorder->path, recorder->requests);
        return;
    }
    std::string entry = ToJournal(r);
    LockBoard(recorder->board);
    off_t end = lseek(recorder->journal, 0, SEEK_END);
    if (end >= 0 && pwrite(recorder->journal, entry.data(), entry.size(), end) == (ssize_t)entry.size())
        Save(recorder->path, FromJournal(recorder->journal));
    UnlockBoard(recorder->board);
}
