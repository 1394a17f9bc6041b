// The lines kx7cli prints for what a window drew into the recording canvas: one line a canvas
// call ("fill 0 0 640 480 0,0,0", "line 0 0 0 479 0,128,64 1", "cross X Y DX DY R,G,B WIDTH",
// "ellipse X Y RX RY R,G,B WIDTH FILL", "rect ...", "pixel X Y R,G,B", "text X Y \"TEXT\"",
// "box clear|exit X0 Y0 X1 Y1").
#pragma once

#include <ostream>
#include <string>

#include "platform/recording_canvas.h"

namespace kx7::cli {

std::string CanvasRecordLine(const RecordingCanvas::Operation& operation);

// Prints every call recorded so far and empties the record.
void FlushCanvasRecord(RecordingCanvas& canvas, std::ostream& out);

}  // namespace kx7::cli
