#include "canvas_record_printer.h"

namespace kx7::cli {

void FlushCanvasRecord(RecordingCanvas& canvas, std::ostream& out) {
  for (const RecordingCanvas::Operation& operation : canvas.Operations()) out << RecordLine(operation) << '\n';
  canvas.Clear();
}

}  // namespace kx7::cli
