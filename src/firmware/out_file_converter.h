// A code file ending in "OUT" is turned into Intel hex by the outside converter before it is read:
// the command file "adc_hex.cmd" beside it (or one the user picks) names the hex file with its
// "-o NAME.hex" line; the .out file and the command file are copied into the folder "extra" below
// the program's, the converter there runs on them (started with an argument vector, never through
// a shell), and the hex file it wrote is copied back beside the .out file.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kx7::firmware {

struct OutConversion {
  std::optional<std::string> hexPath;  // the hex file beside the .out file, when converted
  std::string message;                // the program's text for a failure; empty when cancelled
};

// True for a name ending in "OUT", without regard to case.
bool IsOutFile(const std::string& path);

// The output file a command file names: the base name on the first line with both "-o " and
// ".hex" (never a path, so the converter's output is looked for only in its own folder).
std::optional<std::string> OutputNameOfCommandFile(const std::string& text);

class OutFileConverter {
 public:
  // Asked when the folder of the .out file has no "adc_hex.cmd": a command file, or nothing.
  using AskCommandFile = std::function<std::optional<std::string>()>;

  // `programFolder`: the folder of the running program; "extra" below it holds the converter.
  OutFileConverter(std::string programFolder, AskCommandFile ask, int timeOutMs = kConverterTimeOutMs);

  OutConversion Convert(const std::string& outPath) const;

  // A converter that does not end within this is stopped and counts as failed.
  static constexpr int kConverterTimeOutMs = 60000;

 private:
  std::string programFolder_;
  AskCommandFile ask_;
  int timeOutMs_;
};

// The folder of the running program.
std::string ProgramFolder();

}  // namespace kx7::firmware
