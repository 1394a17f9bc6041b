// The memory exchange ("QPE"/"QPO") against a host that runs its side of the exchange line by
// line: a line counter that decides what each controller line asks for, request counts by family,
// data lines read from position 6. The host is written here on its own so the controller's lines
// are checked against what a host does with them.
#include "emulator/memory_exchange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "controller_test_support.h"
#include "emulator/controller.h"

namespace kx7::emu {
namespace {

using testing::Command;
using testing::kOk;
using testing::kRefusal;
using testing::SendRaw;

struct HostOptions {
  bool rowan = false;  // Rowan/Cedar request counts, eight digits
  std::uint32_t rowanMax = 65536;
  bool eightDigitAddress = false;  // Larch
  bool wordMode = false;
};

class HostExchange {
 public:
  HostExchange(EmulatedController& controller, HostOptions options) : c_(controller), o_(options) {}

  bool Read(int memory, std::uint32_t address, std::uint32_t count, std::vector<std::uint16_t>& values) {
    Start(memory, address, count, false);
    Run();
    values = values_;
    return !failed_ && values_.size() == count;
  }

  bool Write(int memory, std::uint32_t address, const std::vector<std::uint16_t>& values) {
    values_ = values;
    Start(memory, address, static_cast<std::uint32_t>(values.size()), true);
    Run();
    return !failed_ && remaining_ == 0;
  }

  std::vector<std::string> counts;  // the request counts as sent

 private:
  void Start(int memory, std::uint32_t address, std::uint32_t count, bool write) {
    write_ = write;
    memory_ = memory;
    address_ = address;
    remaining_ = count;
    written_ = 0;
    counter_ = write ? 7 : 0;
    done_ = failed_ = false;
    if (!write) values_.clear();
    Send("\x01" + std::string(write ? "QPO" : "QPE") + "\r");
  }

  void Send(const std::string& bytes) { SendRaw(c_, bytes, now_ += 1); }

  void Run() {
    for (int guard = 0; guard < 100000 && !done_; ++guard) {
      c_.Advance(now_ += 1);
      const std::vector<std::uint8_t> out = c_.TakeOutput();
      if (out.empty()) {
        if (c_.NextEventMs() <= now_) continue;
        failed_ = true;  // the host's timer would fire
        return;
      }
      for (std::uint8_t b : out) {
        if (done_) break;
        line_ += static_cast<char>(b);
        if (b != '\r') continue;
        const std::string line = line_;
        line_.clear();
        HandleLine(line, counter_++);
      }
    }
  }

  std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
  }

  void HandleLine(const std::string& line, int counter) {
    switch (counter) {
      case 1:
      case 8: {
        const char character = static_cast<char>(memory_ < 10 ? '0' + memory_ : 'A' + memory_ - 10);
        Send(std::string(1, character) + "\r");
        return;
      }
      case 2:
      case 9:
        Send(Hex(address_, o_.eightDigitAddress ? 8 : 4) + "\r");
        return;
      case 3: {
        std::uint32_t max = o_.rowan ? o_.rowanMax : (o_.wordMode ? 8 : 255);
        request_ = std::min(max, remaining_);
        left_ = request_;
        const std::string count = o_.rowan ? Hex(request_ >> 16, 4) + Hex(request_ & 0xFFFF, 4) : Hex(request_, 2);
        counts.push_back(count);
        Send(count + "\r");
        return;
      }
      case 10: {
        request_ = std::min<std::uint32_t>(o_.wordMode ? 8 : 63, remaining_);
        counts.push_back(Hex(request_, 2));
        Send(Hex(request_, 2) + "\r");
        return;
      }
      case 11: {
        std::string text;
        for (std::uint32_t i = 0; i < request_; ++i) text += Hex(values_[written_ + i], o_.wordMode ? 4 : 2);
        Send(text + "\r");
        written_ += request_;
        address_ += request_;
        remaining_ -= request_;
        if (memory_ == 10 && address_ - 1 == 4177) done_ = true;  // the speed word: no closing line awaited
        return;
      }
      case 5:
        return DataLine(line);
      case 6:
      case 12:
        if (remaining_ > 0) {
          counter_ = write_ ? 7 : 0;
          Send(write_ ? "\x01QPO\r" : "\x01QPE\r");
        } else {
          done_ = true;
        }
        return;
      default:
        return;
    }
  }

  void DataLine(const std::string& line) {
    const std::size_t digits = o_.wordMode ? 4 : 2;
    std::size_t at = 6;
    while (left_ > 0) {
      if (at + digits + 1 > line.size()) {
        failed_ = done_ = true;  // too short for the next value
        return;
      }
      values_.push_back(static_cast<std::uint16_t>(std::stoul(line.substr(at, digits), nullptr, 16)));
      ++address_;
      --left_;
      const char after = line[at + digits];
      at += digits + 1;
      if (after == '\r' && left_ > 0) {
        --counter_;  // the next line is data as well
        return;
      }
    }
    remaining_ -= request_;
  }

  EmulatedController& c_;
  HostOptions o_;
  std::uint64_t now_ = 1000;
  bool write_ = false, done_ = false, failed_ = false;
  int memory_ = 0, counter_ = 0;
  std::uint32_t address_ = 0, remaining_ = 0, request_ = 0, left_ = 0, written_ = 0;
  std::vector<std::uint16_t> values_;
  std::string line_;
};

std::vector<std::uint16_t> Pattern(std::size_t count, unsigned mask) {
  std::vector<std::uint16_t> values(count);
  for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<std::uint16_t>((i * 7919 + 13) & mask);
  return values;
}

TEST(MemoryExchange, ByteReadOfAnOrdinaryFamilyRunsInRequestsOf255) {
  auto controller = EmulatedController::ForFamily("birch");
  const std::vector<std::uint16_t> image = Pattern(300, 0xFF);
  ASSERT_TRUE(controller->Memories().Write(9, 100, image));
  HostExchange host(*controller, {});
  std::vector<std::uint16_t> values;
  ASSERT_TRUE(host.Read(9, 100, 300, values));
  EXPECT_EQ(values, image);
  EXPECT_EQ(host.counts, (std::vector<std::string>{"FF", "2D"}));
  EXPECT_EQ(Command(*controller, "Z", 90000), kOk) << "the exchange is over";
}

TEST(MemoryExchange, WordWriteRunsInRequestsOfEightAndReadsBack) {
  auto controller = EmulatedController::ForFamily("aspen4");
  const std::vector<std::uint16_t> words = Pattern(20, 0xFFFF);
  HostExchange writer(*controller, {false, 0, false, true});
  ASSERT_TRUE(writer.Write(10, 40, words));
  EXPECT_EQ(writer.counts, (std::vector<std::string>{"08", "08", "04"}));
  HostExchange reader(*controller, {false, 0, false, true});
  std::vector<std::uint16_t> back;
  ASSERT_TRUE(reader.Read(10, 40, 20, back));
  EXPECT_EQ(back, words);
  EXPECT_EQ(reader.counts, (std::vector<std::string>{"08", "08", "04"}));
}

TEST(MemoryExchange, CedarGen3ReadsItsWholeImageInOneRequest) {
  auto controller = EmulatedController::ForFamily("cedar-gen3");
  ASSERT_TRUE(controller->Memories().Write(9, 131071, {0x5A}));
  HostExchange host(*controller, {true, 131072, false, false});
  std::vector<std::uint16_t> values;
  ASSERT_TRUE(host.Read(9, 0, 131072, values));
  EXPECT_EQ(host.counts, (std::vector<std::string>{"00020000"}));
  EXPECT_EQ(values.front(), 0xFF) << "erased flash";
  EXPECT_EQ(values.back(), 0x5A);
}

TEST(MemoryExchange, CedarGen2RefusesMoreThanItsRequestLimit) {
  auto controller = EmulatedController::ForFamily("cedar-gen2");
  HostExchange host(*controller, {true, 131072, false, false});
  std::vector<std::uint16_t> values;
  EXPECT_FALSE(host.Read(9, 0, 65537, values));
  EXPECT_EQ(Command(*controller, "Z", 90000), kOk);
}

TEST(MemoryExchange, LarchTakesEightDigitAddresses) {
  auto controller = EmulatedController::ForFamily("larch-mt");
  ASSERT_TRUE(controller->Memories().Write(9, 0x10000, {1, 2, 3}));
  HostExchange host(*controller, {false, 0, true, false});
  std::vector<std::uint16_t> values;
  ASSERT_TRUE(host.Read(9, 0x10000, 3, values));
  EXPECT_EQ(values, (std::vector<std::uint16_t>{1, 2, 3}));
}

TEST(MemoryExchange, BlockMemoriesAreTheBlocks) {
  auto controller = EmulatedController::ForFamily("cedar-gen4");
  HostExchange host(*controller, {true, 65536, false, false});
  std::vector<std::uint16_t> values;
  ASSERT_TRUE(host.Read(6, 0, 12, values));
  const std::vector<std::uint8_t>& block6 = *controller->Parameters().Block(6);
  EXPECT_EQ(values, std::vector<std::uint16_t>(block6.begin(), block6.end()));
  HostExchange writer(*controller, {true, 65536, false, false});
  ASSERT_TRUE(writer.Write(4, 59, {0xAB}));
  EXPECT_EQ(controller->Parameters().Block(4)->back(), 0xAB);
}

TEST(MemoryExchange, DataLinesCarrySixteenValuesAndTheLastEndsWithCr) {
  auto controller = EmulatedController::ForFamily("hazel3-poplar");
  std::uint64_t now = 0;
  Command(*controller, "QPE", now += 1);
  Command(*controller, "0", now += 1);  // framed by mistake: a SOH abandons the exchange
  EXPECT_EQ(Command(*controller, "Z", now += 1), kOk);

  SendRaw(*controller, "\x01QPE\r", now += 1);
  EXPECT_EQ(testing::Drain(*controller, now), kOk + "Memory:\r");
  SendRaw(*controller, "0\r", now += 1);
  EXPECT_EQ(testing::Drain(*controller, now), "Address:\r");
  SendRaw(*controller, "0010\r", now += 1);
  EXPECT_EQ(testing::Drain(*controller, now), "Count:\r");
  SendRaw(*controller, "20\r", now += 1);
  const std::string reply = testing::Drain(*controller, now);
  const std::size_t header = reply.find('\r');
  const std::string first = reply.substr(header + 1, 6 + 16 * 3);
  EXPECT_EQ(first.substr(0, 6), "0010: ");
  EXPECT_EQ(first.back(), '\r');
  EXPECT_EQ(std::count(reply.begin(), reply.end(), '\r'), 4);  // header, two data lines, closing
  EXPECT_EQ(reply.substr(reply.size() - 3), kOk);
}

struct BadLine {
  const char* label;
  std::vector<std::string> lines;  // answers to the prompts; the last one is refused
};

class MemoryExchangeRefusal : public ::testing::TestWithParam<BadLine> {};

TEST_P(MemoryExchangeRefusal, EndsTheExchange) {
  auto controller = EmulatedController::ForFamily("birch");
  std::uint64_t now = 0;
  const bool poke = std::string(GetParam().label).rfind("poke", 0) == 0;
  Command(*controller, poke ? "QPO" : "QPE", now += 1);
  const auto& lines = GetParam().lines;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SendRaw(*controller, lines[i] + "\r", now += 1);
    const std::string reply = testing::Drain(*controller, now);
    if (i + 1 == lines.size())
      EXPECT_EQ(reply, kRefusal);
    else
      EXPECT_NE(reply, kRefusal);
  }
  EXPECT_EQ(Command(*controller, "Z", now += 1), kOk);
}

const BadLine kBadLines[] = {
    {"peek_memory_letter", {"E"}},
    {"peek_two_characters", {"09"}},
    {"peek_address_past_end", {"9", "8000"}},
    {"peek_address_not_hex", {"9", "00G0"}},
    {"peek_count_zero", {"9", "0000", "00"}},
    {"peek_count_too_many", {"9", "0000", "100"}},
    {"peek_range_past_end", {"9", "7FF0", "20"}},
    {"poke_count_too_many", {"9", "0000", "100"}},
    {"poke_values_short", {"9", "0000", "02", "AB"}},
    {"poke_values_not_hex", {"9", "0000", "02", "ABXY"}},
    {"poke_words_as_bytes", {"A", "0000", "02", "ABCD"}},
};
INSTANTIATE_TEST_SUITE_P(Lines, MemoryExchangeRefusal, ::testing::ValuesIn(kBadLines),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(MemoryExchange, WritingTheSpeedWordMovesTheLineAfterTheClosingLine) {
  auto controller = EmulatedController::ForFamily("birch");
  EXPECT_EQ(controller->Memories().Cell(10, 4177), 12000000 / 9600);
  HostExchange host(*controller, {false, 0, false, true});
  ASSERT_TRUE(host.Write(10, 4177, {104}));
  EXPECT_EQ(controller->Line().baud, 9600) << "the closing line is still to be taken";
  EXPECT_EQ(testing::AsText(controller->TakeOutput()), kOk);
  EXPECT_EQ(controller->Line(), (LineSettings{115200, 'N', 8, 1}));

  HostExchange back(*controller, {false, 0, false, true});
  ASSERT_TRUE(back.Write(10, 4177, {1250}));
  controller->TakeOutput();
  EXPECT_EQ(controller->Line().baud, 9600);
}

TEST(MemoryExchange, RebootClearsTheRam) {
  auto controller = EmulatedController::ForFamily("birch-pen");
  ASSERT_TRUE(controller->Memories().Write(10, 5, {0x1234}));
  EXPECT_EQ(Command(*controller, "RE2", 10), kOk);
  controller->Advance(10000);
  EXPECT_EQ(controller->Memories().Cell(10, 5), 0);
  EXPECT_EQ(controller->Memories().Cell(10, 4177), 1250) << "the speed word comes back";
}

TEST(MemoryExchangeParsing, HexAndMemoryCharacters) {
  EXPECT_EQ(ParseHex("00020000"), 0x20000u);
  EXPECT_EQ(ParseHex("ff"), 0xFFu);
  EXPECT_FALSE(ParseHex(""));
  EXPECT_FALSE(ParseHex("123456789"));
  EXPECT_FALSE(ParseHex("-1"));
  EXPECT_EQ(MemoryFromCharacter('9'), 9);
  EXPECT_EQ(MemoryFromCharacter('A'), 10);
  EXPECT_EQ(MemoryFromCharacter('D'), 13);
  EXPECT_EQ(MemoryFromCharacter('E'), -1);
  EXPECT_EQ(MemoryFromCharacter('a'), -1);
}

}  // namespace
}  // namespace kx7::emu
