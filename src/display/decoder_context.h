// What every decoder of one terminal shares: where the text goes, what else it may do, and the
// touch-down flag (was the previous report a touch), which decides between D and the continuation
// character whichever decoder saw the previous report.
#pragma once

#include "display/report_decoder.h"
#include "display/terminal_sink.h"

namespace kx7 {

struct DecoderContext {
  TerminalSink& sink;
  DecoderActions& actions;
  bool touchDown = false;
};

}  // namespace kx7
