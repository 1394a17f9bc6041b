// kx7cli decode: bytes through the terminal's decoders and line store, as lines.
#include "line_decoder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kx7::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

Lines Decode(const DecodeRequest& request, const Bytes& bytes) {
  Lines lines;
  LineDecoder decoder(request, [&lines](std::string_view line) { lines.emplace_back(line); });
  decoder.Feed(bytes.data(), bytes.size());
  decoder.Finish();
  return lines;
}

DecodeRequest With(std::uint32_t format) {
  DecodeRequest request;
  request.format = format;
  return request;
}

TEST(LineDecoder, PrintsTheLinesOfEachFormat) {
  DecodeRequest fullResolution;
  fullResolution.fullResolution = true;
  DecodeRequest generic;
  generic.controllerType = 32855;
  DecodeRequest contacts;
  contacts.features = 0x1000;
  DecodeRequest passThrough;
  passThrough.passThrough = true;
  DecodeRequest signalsPassThrough = With(32843);
  signalsPassThrough.passThrough = true;
  struct Case {
    const char* what;
    DecodeRequest request;
    Bytes bytes;
    Lines lines;
  };
  const Case cases[] = {
      {"a touch that moves and lifts",
       {},
       {0xC0, 0x00, 0x20, 0x00, 0x10, 0xC0, 0x08, 0x20, 0x00, 0x11, 0x80, 0x00, 0x20, 0x00, 0x10},
       {"D 0512,0256", ". 0513,0272", "U 0512,0256"}},
      {"no touch and none before", {}, {0x80, 0x00, 0x01, 0x00, 0x02}, {"  0016,0032"}},
      {"the button", {}, {0xC2, 0x00, 0x20, 0x00, 0x10}, {"D 0512,0256 B"}},
      {"full resolution", fullResolution, {0xC0, 0x05, 0x20, 0x00, 0x10}, {"D 04101,02048"}},
      {"with Z", With(32840), {0xC0, 0x00, 0x20, 0x00, 0x10, 0x05, 0x01}, {"D 0512,0256, 0133"}},
      {"a contact number", contacts, {0xC0, 0x00, 0x20, 0x00, 0x10, 0x03}, {"D 0512,0256 003"}},
      {"Generic shows KXS reports undecoded", generic, {0xC0, 0x00, 0x20, 0x00, 0x10}, {"<C0><00> <00><10>"}},
      {"raw signed", With(32817), {0xC0, 0x78, 0x7F, 0x00, 0x10}, {"D -1,+256"}},
      {"undecoded, CR LF and an open last line",
       With(32822),
       {'A', 'B', 0x0D, 0x0A, 'C', 0x0A, 0x01, 0x80, 0xFF, 0x0D, 'x', 'y', 'z'},
       {"AB", "C<0A><01><80><FF>", "xyz"}},
      {"the digitizer format is undecoded too", With(32819), {'O', 'K', 0x0D}, {"OK"}},
      {"pass-through shows every byte undecoded", passThrough, {0xC0, 'A', 0x0D}, {"<C0>A"}},
      {"pass-through shows no signals", signalsPassThrough, {0xC0, 'A', 0x0D}, {}},
      {"nothing in, nothing out", {}, {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.request, c.bytes), c.lines) << c.what;
}

TEST(LineDecoder, HexDumpWrapsByItsTwoSwitches) {
  const Bytes bytes = {0x81, 0x02, 0x0D, 0x03, 0x90, 0x05};
  struct Case {
    bool wrapOnCr;
    bool wrapOnBit7;
    Lines lines;
  };
  // The first status byte ends the line it finds, empty as it is: the terminal shows that too.
  const Case cases[] = {
      {true, true, {"", "81 02 0D ", "03 ", "90 05 "}},
      {true, false, {"81 02 0D ", "03 90 05 "}},
      {false, true, {"", "81 02 0D 03 ", "90 05 "}},
      {false, false, {"81 02 0D 03 90 05 "}},
  };
  for (const Case& c : cases) {
    DecodeRequest request = With(32818);
    request.wrapOnCr = c.wrapOnCr;
    request.wrapOnBit7 = c.wrapOnBit7;
    EXPECT_EQ(Decode(request, bytes), c.lines) << "wrap on CR " << c.wrapOnCr << ", on bit 7 " << c.wrapOnBit7;
  }
}

TEST(LineDecoder, WithoutWrapOnCrReportsShareALineUntilItIsFull) {
  DecodeRequest request;
  request.wrapOnCr = false;
  Bytes bytes;
  // 12 characters a report: the line is continued while it is shorter than 130.
  for (int i = 0; i < 12; ++i) bytes.insert(bytes.end(), {0xC0, 0x00, 0x20, 0x00, 0x10});
  const Lines lines = Decode(request, bytes);
  ASSERT_EQ(lines.size(), 2u);
  std::string eleven = "D 0512,0256 ";
  for (int i = 1; i < 11; ++i) eleven += ". 0512,0256 ";
  EXPECT_EQ(lines[0], eleven.substr(0, eleven.size() - 1));
  EXPECT_EQ(lines[1], ". 0512,0256 ");
}

TEST(LineDecoder, LongTextIsBrokenAsTheTerminalBreaksIt) {
  const Lines lines = Decode(With(32822), Bytes(200, 'A'));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(148, 'A'));
  EXPECT_EQ(lines[1], std::string(52, 'A'));
}

TEST(LineDecoder, RunDecodeReadsTheWholeStreamAcrossItsChunks) {
  // More than one 64 KiB chunk, with reports cut at the chunk boundary.
  constexpr int kReports = 20000;
  std::string input;
  for (int i = 0; i < kReports; ++i) input += std::string("\xC0\x00\x20\x00\x10", 5);
  input += "\x80\x01";  // a report cut short: no line
  std::istringstream in(input);
  std::ostringstream out, err;
  EXPECT_EQ(RunDecode(DecodeRequest{}, in, out, err), 0);
  EXPECT_EQ(err.str(), "");
  std::string expected = "D 0512,0256\n";
  for (int i = 1; i < kReports; ++i) expected += ". 0512,0256\n";
  EXPECT_EQ(out.str(), expected);
}

}  // namespace
}  // namespace kx7::cli
