#include <stdio.h>

#include "AddressCheck.h"
#include "Recorder.h"
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
    recorder->requests.push_back(r);

    std::string temp = recorder->path + ".part";
    FILE* f = fopen(temp.c_str(), "w");
    if (f == NULL)
        return;
    std::string text = RecordingToBoardText(recorder->requests);
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = fclose(f) == 0 && ok;
    if (ok)
        rename(temp.c_str(), recorder->path.c_str());
}
