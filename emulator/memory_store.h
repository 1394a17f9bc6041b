// The controller memories 0 to 13 that "QPE" and "QPO" reach by address. Memories that alias a
// parameter block read and write that block; the others are allocated on first write, so a
// controller with a 128 KiB firmware image costs nothing until someone pokes it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "family_profile.h"
#include "parameter_store.h"

namespace kx7::emu {

class MemoryStore {
 public:
  MemoryStore(const std::array<MemoryLayout, 14>& layouts, ParameterStore& blocks);

  bool Exists(int memory) const { return Cells(memory) > 0; }
  std::uint32_t Cells(int memory) const;
  bool Words(int memory) const;  // 16-bit cells

  // False (nothing read or written) when the memory does not exist or the range leaves it.
  bool Read(int memory, std::uint32_t address, std::uint32_t count, std::vector<std::uint16_t>& values) const;
  bool Write(int memory, std::uint32_t address, const std::vector<std::uint16_t>& values);
  std::uint16_t Cell(int memory, std::uint32_t address) const;

  // Back to the content of a memory never written (the RAM after a restart).
  void Clear(int memory);

  // For keeping the state: the memories of their own that were written (not the RAM of memories 0
  // and 10, which a restart clears), their cells, and cells put back (false when the count is not
  // the memory's).
  std::vector<int> StoredMemories() const;
  const std::vector<std::uint16_t>& StoredCells(int memory) const { return cells_[static_cast<std::size_t>(memory)]; }
  bool LoadCells(int memory, const std::vector<std::uint16_t>& cells);

 private:
  bool InRange(int memory, std::uint32_t address, std::uint64_t count) const;
  std::array<MemoryLayout, 14> layouts_;
  std::array<std::vector<std::uint16_t>, 14> cells_;
  ParameterStore& blocks_;
};

}  // namespace kx7::emu
