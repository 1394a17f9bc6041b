// The controller's side of the line-by-line memory exchange. "QPE" (peek) and "QPO" (poke) are
// answered with prompt lines; the host answers each prompt with one line (memory character,
// hexadecimal address, hexadecimal count, and for a poke the values), and the controller ends
// with SOH "0" CR. A line it cannot use ends the exchange with the refusal SOH "1" CR.
//
// Controller lines, peek: SOH "0" CR, "Memory:" CR, "Address:" CR, "Count:" CR, a header line,
// the data lines ("%04X: " and then the values, two or four digits each, blank-separated, at
// most 16 a line, the last one of a line followed by CR), SOH "0" CR.
// Poke: SOH "0" CR, "Memory:" CR, "Address:" CR, "Count:" CR, "Data:" CR, then after the
// values line (all values without separators) SOH "0" CR.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "memory_store.h"

namespace kx7::emu {

class MemoryExchange {
 public:
  enum class Kind { kPeek, kPoke };
  struct Poke {
    int memory = 0;
    std::uint32_t address = 0;
    std::uint32_t count = 0;
  };

  // `maxPeekCount`: the most values one "QPE" request may ask for.
  MemoryExchange(MemoryStore& memories, std::uint32_t maxPeekCount);

  // The command arrived; returns the lines the controller sends at once.
  std::string Begin(Kind kind);
  // One line of the host, without its CR; returns what the controller answers.
  std::string OnLine(const std::string& line);
  bool Active() const { return step_ != Step::kIdle; }
  // The next line of the host is a poke's values.
  bool AwaitingValues() const { return step_ == Step::kValues; }
  void Abandon() { step_ = Step::kIdle; }
  // The poke whose values were stored by the last `OnLine`, if it stored any.
  std::optional<Poke> TakePoke();

  static constexpr std::uint32_t kMaxPokeCount = 255;
  static constexpr std::size_t kValuesPerLine = 16;

 private:
  enum class Step { kIdle, kMemory, kAddress, kCount, kValues };
  std::string Refuse();
  std::string PeekData();

  MemoryStore& memories_;
  std::uint32_t maxPeekCount_;
  Step step_ = Step::kIdle;
  Kind kind_ = Kind::kPeek;
  int memory_ = 0;
  std::uint32_t address_ = 0;
  std::uint32_t count_ = 0;
  std::optional<Poke> poke_;
};

// The memory a "QPE"/"QPO" character names: "0" to "9", "A" to "D"; -1 for anything else.
int MemoryFromCharacter(char character);
// A hexadecimal number of 1 to 8 digits and nothing else.
std::optional<std::uint32_t> ParseHex(const std::string& text);

}  // namespace kx7::emu
