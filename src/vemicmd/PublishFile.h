// --prometheus-file: the metrics document kept in memory while the run writes it,
// then published whole (WholeFile.h): node_exporter's textfile collector reads the
// last complete document or the new one, never part of one, and a run that fails
// to write it, or is killed, replaces nothing.
#ifndef VEMI_PUBLISH_FILE_H
#define VEMI_PUBLISH_FILE_H

// The run's output goes to memory from here on. False, with errno, when no memory
// can hold it.
bool PublishFileBegin(void);

// The document written: it takes the file's place, or, failing that, the run's
// output error says why (the file keeps its content). The run's output is its
// standard output again.
void PublishFileEnd(void);

#endif
