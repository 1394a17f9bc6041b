#include "memory_exchange.h"

#include <cstdio>
#include <vector>

namespace kx7::emu {
namespace {

const std::string kOk{'\x01', '0', '\r'};
const std::string kRefusal{'\x01', '1', '\r'};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

int MemoryFromCharacter(char character) {
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'A' && character <= 'D') return character - 'A' + 10;
  return -1;
}

std::optional<std::uint32_t> ParseHex(const std::string& text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

MemoryExchange::MemoryExchange(MemoryStore& memories, std::uint32_t maxPeekCount)
    : memories_(memories), maxPeekCount_(maxPeekCount) {}

std::string MemoryExchange::Begin(Kind kind) {
  kind_ = kind;
  step_ = Step::kMemory;
  poke_.reset();
  return kOk + "Memory:\r";
}

std::string MemoryExchange::Refuse() {
  step_ = Step::kIdle;
  return kRefusal;
}

std::optional<MemoryExchange::Poke> MemoryExchange::TakePoke() {
  std::optional<Poke> poke = poke_;
  poke_.reset();
  return poke;
}

std::string MemoryExchange::OnLine(const std::string& line) {
  switch (step_) {
    case Step::kIdle:
      return {};
    case Step::kMemory:
      memory_ = line.size() == 1 ? MemoryFromCharacter(line[0]) : -1;
      if (memory_ < 0 || !memories_.Exists(memory_)) return Refuse();
      step_ = Step::kAddress;
      return "Address:\r";
    case Step::kAddress: {
      const auto address = ParseHex(line);
      if (!address || *address >= memories_.Cells(memory_)) return Refuse();
      address_ = *address;
      step_ = Step::kCount;
      return "Count:\r";
    }
    case Step::kCount: {
      const auto count = ParseHex(line);
      const std::uint32_t limit = kind_ == Kind::kPeek ? maxPeekCount_ : kMaxPokeCount;
      if (!count || *count == 0 || *count > limit) return Refuse();
      if (static_cast<std::uint64_t>(address_) + *count > memories_.Cells(memory_)) return Refuse();
      count_ = *count;
      if (kind_ == Kind::kPeek) return PeekData();
      step_ = Step::kValues;
      return "Data:\r";
    }
    case Step::kValues: {
      const std::size_t digits = memories_.Words(memory_) ? 4 : 2;
      if (line.size() != digits * count_) return Refuse();
      std::vector<std::uint16_t> values;
      values.reserve(count_);
      for (std::size_t at = 0; at < line.size(); at += digits) {
        const auto value = ParseHex(line.substr(at, digits));
        if (!value) return Refuse();
        values.push_back(static_cast<std::uint16_t>(*value));
      }
      if (!memories_.Write(memory_, address_, values)) return Refuse();
      poke_ = Poke{memory_, address_, count_};
      step_ = Step::kIdle;
      return kOk;
    }
  }
  return {};
}

std::string MemoryExchange::PeekData() {
  step_ = Step::kIdle;
  std::vector<std::uint16_t> values;
  if (!memories_.Read(memory_, address_, count_, values)) return kRefusal;
  const bool words = memories_.Words(memory_);
  const char memoryCharacter = static_cast<char>(memory_ < 10 ? '0' + memory_ : 'A' + memory_ - 10);
  char text[48];
  std::snprintf(text, sizeof text, "Peek %c %08X %08X\r", memoryCharacter, static_cast<unsigned>(address_),
                static_cast<unsigned>(count_));
  std::string out = text;
  out.reserve(out.size() + values.size() * (words ? 5 : 3) + values.size() / kValuesPerLine * 6 + 16);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i % kValuesPerLine == 0) {
      std::snprintf(text, sizeof text, "%04X: ", static_cast<unsigned>((address_ + i) & 0xFFFF));
      out += text;
    }
    std::snprintf(text, sizeof text, words ? "%04X" : "%02X", static_cast<unsigned>(values[i]));
    out += text;
    const bool lineEnds = (i + 1) % kValuesPerLine == 0 || i + 1 == values.size();
    out += lineEnds ? '\r' : ' ';
  }
  return out + kOk;
}

}  // namespace kx7::emu
