// Runs the whole tool in-process on the simulated channel, the way main does,
// with given arguments, standard input and board: for unit tests and fuzz targets.
#ifndef VEMI_TEST_IN_PROCESS_RUN_H
#define VEMI_TEST_IN_PROCESS_RUN_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "BoardModel.h"

// Returns the run's exit status. Standard output goes to `output`, or nowhere
// when it is null. The watchdog test's waits pass at once.
int RunToolInProcess(const std::vector<std::string>& args, const uint8_t* input, size_t inputLen,
                     BoardModel* board, std::string* output = nullptr);

// The default board, fresh for each run.
BoardModel* FreshDefaultBoard();

// Runs on a board given as board-file text, with standard input `input`.
int RunOnBoard(const std::string& json, const std::vector<std::string>& args, const std::string& input = "",
               std::string* output = nullptr);

#endif
