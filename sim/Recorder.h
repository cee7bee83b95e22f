// Recording of requests and answers for bug reports: each request that passes
// through is kept with the device's answer, and the recording is rewritten after
// each one, so it is complete whenever the program stops. Under vemisim every
// process of the run adds to one journal, in the order their requests were
// answered, and the recording holds them all.
#ifndef VEMISIM_RECORDER_H
#define VEMISIM_RECORDER_H

#include <string>
#include <vector>

#include "BoardConfig.h"

struct vemix_struct;
struct SharedBoard;

struct Recorder {
    std::string path;
    std::vector<RecordedRequest> requests; // without a journal: this process's alone
    int journal = -1;                      // the run's journal (VEMISIM_JOURNAL)
    SharedBoard* board = nullptr;          // whose lock keeps the journal in order
};

// Reads the request before it is issued: service and input bytes.
RecordedRequest RecordBefore(const vemix_struct& request);
// Completes it after the device answered, and saves the recording.
void RecordAfter(Recorder* recorder, RecordedRequest entry, const vemix_struct& request,
                 uint32_t status);

#endif
