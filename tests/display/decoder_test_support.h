// A sink that turns the decoders' pieces and line ends into lines, and actions that count what
// the decoders asked for, for the tests of the touch report decoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "display/report_decoder.h"
#include "display/terminal_sink.h"

namespace kx7::test {

using Bytes = std::vector<std::uint8_t>;

struct Piece {
  std::string text;
  TextKind kind;
  int contacts;
};

// Lines as the decoders end them; the open line is what is written since the last end. A report
// end does not continue the line here: the terminal's WrapOnCR rule is the terminal's.
class RecordingSink : public TerminalSink {
 public:
  void AppendText(std::string_view text, TextKind kind, int contacts = 0) override {
    pieces.push_back({std::string(text), kind, contacts});
    open.append(text);
  }
  void EndLine(LineEnd reason) override {
    lines.push_back(open);
    reasons.push_back(reason);
    open.clear();
  }
  // The ended lines, and the open one when it holds anything.
  std::vector<std::string> All() const {
    std::vector<std::string> all = lines;
    if (!open.empty()) all.push_back(open);
    return all;
  }
  void Clear() {
    pieces.clear();
    lines.clear();
    reasons.clear();
    open.clear();
  }

  std::vector<Piece> pieces;
  std::vector<std::string> lines;
  std::vector<LineEnd> reasons;
  std::string open;
};

class RecordingActions : public DecoderActions {
 public:
  void SendPollByte() override { ++pollBytes; }
  void WriteRawLog(std::uint8_t byte) override { rawLog.push_back(byte); }
  void WriteLogLinefeed() override { ++logLinefeeds; }
  bool PassesDriverFilter(const std::uint8_t* record, std::size_t length) override {
    return !driverFilter || driverFilter(record, length);
  }

  int pollBytes = 0;
  Bytes rawLog;
  int logLinefeeds = 0;
  std::function<bool(const std::uint8_t*, std::size_t)> driverFilter;
};

// A decoder with its sink and actions.
struct DecoderFixture {
  RecordingSink sink;
  RecordingActions actions;
  ReportDecoder decoder{sink, actions};

  void Feed(const Bytes& bytes, const DecoderSettings& settings) {
    for (std::uint8_t byte : bytes) decoder.DecodeByte(byte, settings);
  }
  void Record(const Bytes& record, const DecoderSettings& settings) {
    decoder.DecodeRecord(record.data(), record.size(), settings);
  }
};

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

}  // namespace kx7::test
