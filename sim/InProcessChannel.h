// The driver channel answered in-process by a board model, in place of the ioctl,
// so that unit tests and fuzz targets run under any sanitizer without preloading.
#ifndef VEMISIM_IN_PROCESS_CHANNEL_H
#define VEMISIM_IN_PROCESS_CHANNEL_H

#include "BoardModel.h"
#include "VemiTransport.h"

// A transport answered by `model`; a null model makes opening the node fail
// (ENOENT, as without a driver).
VemiTransport SimTransport(BoardModel* model);

#endif
