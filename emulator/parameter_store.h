// The controller's non-volatile side: the numbered parameter blocks ("GP"n/"SP"n, block 5 also
// as "Q002"/"W002") and the numbered parameters of "Q%03d"/"W%03d", each with its factory value
// so that "RD" and "PRD" can put them back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "family_profile.h"

namespace kx7::emu {

// Block1 of the Rowan/Cedar types ends in a check word: the XOR of the little-endian 16-bit
// words before it. True when the stored word matches.
bool BlockChecksumValid(const std::vector<std::uint8_t>& block);
// Writes the correct check word into the block (blocks shorter than 2 bytes stay as they are).
void StoreBlockChecksum(std::vector<std::uint8_t>& block);

class ParameterStore {
 public:
  void DefineBlock(int number, std::vector<std::uint8_t> defaults);
  bool HasBlock(int number) const { return blocks_.count(number) != 0; }
  std::size_t BlockLength(int number) const;
  // Nothing for a block the controller does not have.
  const std::vector<std::uint8_t>* Block(int number) const;
  std::vector<std::uint8_t>* MutableBlock(int number);
  // False (block unchanged) when there is no such block or the length differs.
  bool SetBlock(int number, const std::vector<std::uint8_t>& bytes);

  void DefineParameter(const QParameter& parameter);
  const QParameter* FindParameter(int number) const;
  std::optional<std::uint32_t> Value(int number) const;
  // False when the parameter is unknown, read-only, or the value has more digits than it keeps.
  bool SetValue(int number, std::uint32_t value);

  void RestoreBlocks();
  void RestoreParameters();

  // For keeping the state: the numbers there are, and a kept value put back (read-only ones too;
  // an unknown number is ignored).
  std::vector<int> BlockNumbers() const;
  std::vector<int> ParameterNumbers() const;
  void LoadValue(int number, std::uint32_t value);

 private:
  struct StoredBlock {
    std::vector<std::uint8_t> defaults;
    std::vector<std::uint8_t> bytes;
  };
  struct StoredParameter {
    QParameter definition;
    std::uint32_t value = 0;
  };
  std::map<int, StoredBlock> blocks_;
  std::map<int, StoredParameter> parameters_;
};

}  // namespace kx7::emu
