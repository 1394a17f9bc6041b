// The wire between host and emulated controller: the framing model character by character, and the
// line's timing and order of events with a small scripted device.
#include "serial_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kx7::emu {
namespace {

LineSettings Line(const char* text) {
  const auto settings = ParseLineSettings(text);
  EXPECT_TRUE(settings.has_value()) << text;
  return settings.value_or(LineSettings{});
}

ReceivedChar Clean(std::uint8_t value) { return ReceivedChar{value, false, false}; }
ReceivedChar Framing(std::uint8_t value) { return ReceivedChar{value, true, false}; }
ReceivedChar Parity(std::uint8_t value) { return ReceivedChar{value, false, true}; }

std::string Describe(const std::vector<ReceivedChar>& characters) {
  std::string text;
  for (const ReceivedChar& c : characters) {
    char one[32];
    std::snprintf(one, sizeof one, "%s0x%02X%s%s", text.empty() ? "" : " ", c.value, c.framingError ? " FE" : "",
                  c.parityError ? " PE" : "");
    text += one;
  }
  return text.empty() ? "nothing" : text;
}

struct FramingCase {
  const char* why;
  std::uint8_t byte;
  const char* sender;
  const char* receiver;
  std::vector<ReceivedChar> expected;
};

class FramingModel : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingModel, ReceivesWhatAUartWould) {
  const FramingCase& c = GetParam();
  const std::vector<ReceivedChar> got = ReceiveCharacter(c.byte, Line(c.sender), Line(c.receiver));
  EXPECT_EQ(got, c.expected) << c.why << ": " << c.sender << " -> " << c.receiver << " got " << Describe(got)
                             << ", expected " << Describe(c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FramingModel,
    ::testing::Values(
        FramingCase{"matching framing", 0x41, "9600,N,8,1", "9600,N,8,1", {Clean(0x41)}},
        FramingCase{"every bit of a byte", 0xFF, "9600,N,8,1", "9600,N,8,1", {Clean(0xFF)}},
        FramingCase{"matching 7-bit framing", 0x41, "9600,E,7,1", "9600,E,7,1", {Clean(0x41)}},
        FramingCase{"a 7-bit sender drops bit 7", 0xC1, "9600,E,7,1", "9600,E,7,1", {Clean(0x41)}},
        FramingCase{"matching odd and space parity", 0x30, "2400,O,7,1", "2400,O,7,1", {Clean(0x30)}},
        FramingCase{"matching mark parity at 8 bits", 0x5A, "1200,M,8,2", "1200,M,8,2", {Clean(0x5A)}},
        // The controller search at "N,8,1" meets a 7-bit controller: the mark parity bit or the
        // first stop bit becomes the host's bit 7.
        FramingCase{"7-bit mark-parity controller read at 8,N", 0x30, "9600,M,7,1", "9600,N,8,1", {Clean(0xB0)}},
        FramingCase{"7,N,2 controller read at 8,N", 0x01, "19200,N,7,2", "19200,N,8,1", {Clean(0x81)}},
        FramingCase{"space parity looks like 8,N", 0x5A, "9600,S,7,1", "9600,N,8,1", {Clean(0x5A)}},
        FramingCase{"even parity: a clear parity bit", 0x41, "9600,E,7,1", "9600,N,8,1", {Clean(0x41)}},
        FramingCase{"even parity: a set parity bit", 0x43, "9600,E,7,1", "9600,N,8,1", {Clean(0xC3)}},
        // The other way round the host's bit 7 (clear in ASCII) lands where the controller
        // expects its stop bit or parity bit: the byte arrives, flagged.
        FramingCase{"8,N host to a 7,N,2 controller", 0x5A, "9600,N,8,1", "9600,N,7,2", {Framing(0x5A)}},
        FramingCase{"8,N host to a 7-bit mark-parity controller", 0x5A, "9600,N,8,1", "9600,M,7,1", {Parity(0x5A)}},
        // At seven data bits the host reads the controller's bit 7 as parity: the low seven bits,
        // and a parity error when bit 7 does not fit. Bit 7 itself never arrives.
        FramingCase{"8,N controller read at 7,M, bit 7 clear", 0x30, "9600,N,8,1", "9600,M,7,1", {Parity(0x30)}},
        FramingCase{"8,N controller read at 7,M, bit 7 set", 0xB0, "9600,N,8,1", "9600,M,7,1", {Clean(0x30)}},
        FramingCase{"8,N controller read at 7,N", 0xB0, "9600,N,8,1", "9600,N,7,1", {Clean(0x30)}},
        // A receiver with a parity bit reads the sender's stop bit as one.
        FramingCase{"8,N read at 8,E, parity does not fit", 0x41, "9600,N,8,1", "9600,E,8,1", {Parity(0x41)}},
        FramingCase{"8,N read at 8,E, parity fits", 0x43, "9600,N,8,1", "9600,E,8,1", {Clean(0x43)}},
        FramingCase{"8,E read at 8,N, set parity bit", 0x43, "9600,E,8,1", "9600,N,8,1", {Clean(0x43)}},
        // The clear parity bit is the stop bit: a framing error; what follows is too short to be
        // a start bit.
        FramingCase{"8,E read at 8,N, clear parity bit", 0x41, "9600,E,8,1", "9600,N,8,1", {Framing(0x41)}},
        // Only the first stop bit is checked.
        FramingCase{"one stop bit sent, two expected", 0x41, "9600,N,8,1", "9600,N,8,2", {Clean(0x41)}},
        FramingCase{"two stop bits sent, one expected", 0x41, "9600,N,8,2", "9600,N,8,1", {Clean(0x41)}},
        // 'A' is 0 1000001 0 1 on the line, each bit two receiver bits long: the receiver reads
        // 0 01100000 0 (0x06, framing error), restarts at once on the low line and reads
        // 0 00011001 1 (0x98).
        FramingCase{"twice the speed", 0x41, "9600,N,8,1", "19200,N,8,1", {Framing(0x06), Clean(0x98)}},
        // Half the speed: the start bit is gone when the receiver checks it; the next fall (d1)
        // starts a character of d3, d5, d7 and idle line: 0xFE.
        FramingCase{"half the speed", 0x41, "19200,N,8,1", "9600,N,8,1", {Clean(0xFE)}},
        // 2.8 percent apart: the sampling drifts less than half a bit over the frame.
        FramingCase{"rates within tolerance", 0x5A, "56000,N,8,1", "57600,N,8,1", {Clean(0x5A)}},
        // Nine low bits are four and a half bits to the slower receiver: its start bit and
        // three zeros, then the stop bit and idle line.
        FramingCase{"a zero read at half the speed", 0x00, "19200,N,8,1", "9600,N,8,1", {Clean(0xF8)}}));

// The settings the controller search walks through.
const std::vector<const char*> kSearchSettings = {
    "9600,N,8,1",  "9600,N,7,2",  "19200,N,8,1", "19200,N,7,2",  "4800,N,8,1",   "4800,N,7,2",  "2400,N,8,1",
    "2400,N,7,2",  "1200,N,8,1",  "1200,N,7,2",  "115200,N,8,1", "115200,N,7,2", "9600,O,8,1",  "9600,E,8,1",
    "9600,O,7,1",  "9600,E,7,1",  "4800,O,8,1",  "4800,E,8,1",   "4800,O,7,1",   "4800,E,7,1",  "2400,O,8,1",
    "2400,E,8,1",  "2400,O,7,1",  "2400,E,7,1",  "1200,O,8,1",   "1200,E,8,1",   "1200,O,7,1",  "1200,E,7,1",
    "19200,O,8,1", "19200,E,8,1", "19200,O,7,1", "19200,E,7,1",  "38400,N,8,1",  "38400,N,7,2", "38400,O,8,1",
    "38400,E,8,1", "38400,O,7,1", "38400,E,7,1", "57600,N,8,1",  "57600,N,7,2",  "57600,O,8,1", "57600,E,8,1",
    "57600,O,7,1", "57600,E,7,1", "300,N,8,1",   "300,N,7,2",    "300,O,8,1",    "300,E,8,1",   "300,O,7,1",
    "300,E,7,1",   "600,N,8,1",   "600,N,7,2",   "600,O,8,1",    "600,E,8,1",    "600,O,7,1",   "600,E,7,1"};

std::vector<std::uint8_t> Through(const std::vector<std::uint8_t>& bytes, const LineSettings& sender,
                                  const LineSettings& receiver) {
  std::vector<std::uint8_t> out;
  for (std::uint8_t byte : bytes)
    for (const ReceivedChar& c : ReceiveCharacter(byte, sender, receiver)) out.push_back(c.value);
  return out;
}

// Whatever the search tries, a controller at another speed never hears the ping, and one at the
// search's speed always does on the search's "N,8,1" entries, whatever its own framing.
TEST(FramingModelOverTheSearch, OnlyTheRightSpeedCarriesThePing) {
  const std::vector<std::uint8_t> ping = {0x01, 'Z', '\r'};
  for (const char* host : kSearchSettings) {
    for (const char* controller : kSearchSettings) {
      const LineSettings from = Line(host);
      const LineSettings to = Line(controller);
      const std::vector<std::uint8_t> heard = Through(ping, from, to);
      if (from.baud != to.baud) {
        EXPECT_NE(heard, ping) << host << " -> " << controller;
      } else if (from.dataBits == 8 && from.parity == 'N') {
        EXPECT_EQ(heard, ping) << host << " -> " << controller;
      }
    }
  }
}

// An emulated device that acknowledges SOH "Z" CR, can send a report at a set time and can be
// taken off the line.
class ScriptedDevice : public EmulatedDevice {
 public:
  LineSettings Line() const override { return line; }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) override {
    for (std::size_t i = 0; i < count; ++i) {
      heard.push_back(bytes[i]);
      events.push_back("rx " + std::to_string(bytes[i]) + " @" + std::to_string(nowMs));
    }
    const std::vector<std::uint8_t> ping = {0x01, 'Z', '\r'};
    if (heard.size() >= 3 && std::vector<std::uint8_t>(heard.end() - 3, heard.end()) == ping) {
      output.insert(output.end(), {0x01, '0', '\r'});
    }
  }
  void Advance(std::uint64_t nowMs) override {
    if (reportAt != kNever && nowMs >= reportAt) {
      events.push_back("report @" + std::to_string(nowMs));
      output.push_back('R');
      reportAt = kNever;
    }
  }
  std::uint64_t NextEventMs() const override { return reportAt; }
  std::vector<std::uint8_t> TakeOutput() override {
    std::vector<std::uint8_t> taken = std::exchange(output, {});
    // Like a controller told to change its framing: the reply leaves in the old one.
    if (!taken.empty() && lineAfterOutput) line = *std::exchange(lineAfterOutput, std::nullopt);
    return taken;
  }
  bool Present() const override { return present; }

  LineSettings line;
  std::vector<std::uint8_t> heard;
  std::vector<std::uint8_t> output;
  std::vector<std::string> events;
  std::uint64_t reportAt = kNever;
  bool present = true;
  std::optional<LineSettings> lineAfterOutput;
};

const std::vector<std::uint8_t> kPing = {0x01, 'Z', '\r'};
const std::vector<std::uint8_t> kAck = {0x01, '0', '\r'};

// Reads what the host receives until `until`, a millisecond at a time, like a polling port.
std::vector<std::uint8_t> ReadUntil(SerialLine& line, const LineSettings& host, std::uint64_t from,
                                    std::uint64_t until) {
  std::vector<std::uint8_t> got;
  for (std::uint64_t t = from; t <= until; ++t) {
    const std::vector<std::uint8_t> more = line.HostRead(host, t);
    got.insert(got.end(), more.begin(), more.end());
  }
  return got;
}

struct TimingCase {
  const char* settings;
  std::uint64_t commandHeardMs;  // the CR has arrived
  std::uint64_t replyDoneMs;     // the last reply byte has arrived
};

class LineTiming : public ::testing::TestWithParam<TimingCase> {};

// Each character takes its frame's bit count at the line's rate, one after the other.
TEST_P(LineTiming, ThePingAndItsReplyTakeTheirTimeOnTheWire) {
  const TimingCase& c = GetParam();
  ScriptedDevice device;
  device.line = Line(c.settings);
  SerialLine line(device);
  line.HostWrite(kPing.data(), kPing.size(), device.line, 0);
  line.Advance(c.commandHeardMs - 1);
  EXPECT_EQ(device.heard.size(), 2u);
  EXPECT_EQ(line.NextEventMs(), c.commandHeardMs);
  line.Advance(c.commandHeardMs);
  EXPECT_EQ(device.heard, kPing);
  EXPECT_EQ(ReadUntil(line, device.line, c.commandHeardMs, c.replyDoneMs - 1).size(), 2u);
  EXPECT_EQ(line.HostRead(device.line, c.replyDoneMs), std::vector<std::uint8_t>{'\r'});
  EXPECT_EQ(line.NextEventMs(), kNever);
}

INSTANTIATE_TEST_SUITE_P(Rates, LineTiming,
                         ::testing::Values(
                             // 10 bits at 9600: 1.04 ms a character; arrivals at 1.04, 2.08, 3.13 ms.
                             TimingCase{"9600,N,8,1", 4, 8},
                             // 11 bits at 300: 36.7 ms a character.
                             TimingCase{"300,E,7,2", 110, 220},
                             // 10 bits at 300: the reply is complete 200 ms after the ping started.
                             TimingCase{"300,N,8,1", 100, 200}));

TEST(SerialLine, AtHighSpeedSeveralCharactersArriveInOneMillisecond) {
  ScriptedDevice device;
  device.line = Line("115200,N,8,1");
  SerialLine line(device);
  line.HostWrite(kPing.data(), kPing.size(), device.line, 0);
  EXPECT_EQ(line.NextEventMs(), 1u);
  EXPECT_EQ(ReadUntil(line, device.line, 0, 2), kAck);
  ASSERT_EQ(device.events.size(), 3u);
  EXPECT_EQ(device.events[2], "rx 13 @1");
}

TEST(SerialLine, RepliesAreReadWithTheHostsFramingOfTheMoment) {
  ScriptedDevice device;
  device.line = Line("9600,M,7,1");
  SerialLine line(device);
  const LineSettings host8 = Line("9600,N,8,1");
  line.HostWrite(kPing.data(), kPing.size(), host8, 0);
  // The controller hears the ping (flagged with parity errors it ignores) and answers; at 8,N
  // every byte of the answer has bit 7 set.
  EXPECT_EQ(ReadUntil(line, host8, 0, 20), (std::vector<std::uint8_t>{0x81, 0xB0, 0x8D}));
  // Switched to "N,7,2", as the search does on a high bit, the host reads it clean.
  const LineSettings host7 = Line("9600,N,7,2");
  line.HostWrite(kPing.data(), kPing.size(), host7, 20);
  EXPECT_EQ(ReadUntil(line, host7, 20, 40), kAck);
}

TEST(SerialLine, AReplyThatChangesTheDevicesFramingLeavesInTheOldOne) {
  ScriptedDevice device;
  device.line = Line("9600,M,7,1");
  device.lineAfterOutput = Line("9600,N,8,1");
  SerialLine line(device);
  const LineSettings host = Line("9600,N,8,1");
  line.HostWrite(kPing.data(), kPing.size(), host, 0);
  EXPECT_EQ(ReadUntil(line, host, 0, 20), (std::vector<std::uint8_t>{0x81, 0xB0, 0x8D}));
  line.HostWrite(kPing.data(), kPing.size(), host, 20);
  EXPECT_EQ(ReadUntil(line, host, 20, 40), kAck);
}

TEST(SerialLine, TheDevicesEventsAndTheArrivalsHappenInTimeOrder) {
  ScriptedDevice device;
  device.line = Line("9600,N,8,1");
  device.reportAt = 3;
  SerialLine line(device);
  line.HostWrite(kPing.data(), 2, device.line, 0);  // arrivals at 2 and 3 ms
  EXPECT_EQ(line.NextEventMs(), 2u);
  line.Advance(50);
  EXPECT_EQ(device.events, (std::vector<std::string>{"rx 1 @2", "rx 90 @3", "report @3"}));
  EXPECT_EQ(line.HostRead(device.line, 50), std::vector<std::uint8_t>{'R'});
}

TEST(SerialLine, ADeviceOffTheLineHearsNothing) {
  ScriptedDevice device;
  device.present = false;
  SerialLine line(device);
  line.HostWrite(kPing.data(), kPing.size(), device.line, 0);
  line.Advance(100);
  EXPECT_TRUE(device.heard.empty());
  device.present = true;
  line.HostWrite(kPing.data(), kPing.size(), device.line, 100);
  EXPECT_EQ(ReadUntil(line, device.line, 100, 120), kAck);
}

TEST(SerialLine, TheClockNeverGoesBack) {
  ScriptedDevice device;
  SerialLine line(device);
  line.Advance(100);
  line.HostWrite(kPing.data(), kPing.size(), device.line, 5);  // taken as 100
  line.Advance(103);
  EXPECT_EQ(device.heard.size(), 2u);
  line.Advance(104);
  EXPECT_EQ(device.heard, kPing);
}

TEST(SerialLine, AtAWrongSpeedTheControllerDoesNotAnswer) {
  ScriptedDevice device;
  device.line = Line("19200,N,8,1");
  SerialLine line(device);
  const LineSettings host = Line("9600,N,8,1");
  line.HostWrite(kPing.data(), kPing.size(), host, 0);
  line.Advance(50);
  EXPECT_FALSE(device.heard.empty());  // garbage, not nothing
  EXPECT_NE(device.heard, kPing);
  EXPECT_TRUE(ReadUntil(line, host, 50, 60).empty());
}

struct PseudoTerminalCase {
  const char* device;
  const char* host;  // as a pseudo-terminal reports it: always 8,N
  bool answers;
};

class PseudoTerminalFraming : public ::testing::TestWithParam<PseudoTerminalCase> {};

// On a pseudo-terminal only the speed and the stop bits count.
TEST_P(PseudoTerminalFraming, MatchesOnSpeedAndStopBitsOnly) {
  const PseudoTerminalCase& c = GetParam();
  ScriptedDevice device;
  device.line = Line(c.device);
  SerialLine line(device, HostFraming::kSpeedAndStopBitsOnly);
  const LineSettings host = Line(c.host);
  line.HostWrite(kPing.data(), kPing.size(), host, 0);
  const std::vector<std::uint8_t> reply = ReadUntil(line, host, 0, 300);
  if (c.answers) {
    EXPECT_EQ(device.heard, kPing);
    EXPECT_EQ(reply, kAck);
  } else {
    EXPECT_NE(device.heard, kPing);
    EXPECT_TRUE(reply.empty()) << reply.size();
  }
}

INSTANTIATE_TEST_SUITE_P(Table, PseudoTerminalFraming,
                         ::testing::Values(PseudoTerminalCase{"19200,N,8,1", "19200,N,8,1", true},
                                           // Data bits and parity cannot be seen: they match.
                                           PseudoTerminalCase{"19200,M,7,1", "19200,N,8,1", true},
                                           PseudoTerminalCase{"19200,N,7,2", "19200,N,8,2", true},
                                           // The stop bits stand in for "N,8,1" against "N,7,2".
                                           PseudoTerminalCase{"19200,N,7,2", "19200,N,8,1", false},
                                           PseudoTerminalCase{"9600,N,8,1", "9600,N,8,2", false},
                                           PseudoTerminalCase{"9600,N,8,1", "19200,N,8,1", false}));

}  // namespace
}  // namespace kx7::emu
