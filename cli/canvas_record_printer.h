// Prints what a window drew into the recording canvas, a line a call (RecordLine).
#pragma once

#include <ostream>

#include "platform/recording_canvas.h"

namespace kx7::cli {

// Prints every call recorded so far and empties the record.
void FlushCanvasRecord(RecordingCanvas& canvas, std::ostream& out);

}  // namespace kx7::cli
