#include "memory_store.h"

namespace kx7::emu {

MemoryStore::MemoryStore(const std::array<MemorySpec, 14>& specs, ParameterStore& blocks)
    : specs_(specs), blocks_(blocks) {}

std::uint32_t MemoryStore::Cells(int memory) const {
  if (memory < 0 || memory > 13) return 0;
  const MemorySpec& spec = specs_[static_cast<std::size_t>(memory)];
  if (spec.aliasBlock > 0) return static_cast<std::uint32_t>(blocks_.BlockLength(spec.aliasBlock));
  return spec.cells;
}

bool MemoryStore::Words(int memory) const {
  if (memory < 0 || memory > 13) return false;
  const MemorySpec& spec = specs_[static_cast<std::size_t>(memory)];
  return spec.aliasBlock == 0 && spec.words;
}

bool MemoryStore::InRange(int memory, std::uint32_t address, std::uint64_t count) const {
  const std::uint32_t cells = Cells(memory);
  return cells > 0 && count > 0 && static_cast<std::uint64_t>(address) + count <= cells;
}

std::uint16_t MemoryStore::Cell(int memory, std::uint32_t address) const {
  const auto index = static_cast<std::size_t>(memory);
  const MemorySpec& spec = specs_[index];
  if (spec.aliasBlock > 0) return (*blocks_.Block(spec.aliasBlock))[address];
  if (cells_[index].empty()) return spec.words ? static_cast<std::uint16_t>(spec.fill * 0x101) : spec.fill;
  return cells_[index][address];
}

bool MemoryStore::Read(int memory, std::uint32_t address, std::uint32_t count,
                       std::vector<std::uint16_t>& values) const {
  if (!InRange(memory, address, count)) return false;
  values.clear();
  values.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) values.push_back(Cell(memory, address + i));
  return true;
}

bool MemoryStore::Write(int memory, std::uint32_t address, const std::vector<std::uint16_t>& values) {
  if (!InRange(memory, address, values.size())) return false;
  const auto index = static_cast<std::size_t>(memory);
  const MemorySpec& spec = specs_[index];
  const std::uint16_t mask = Words(memory) ? 0xFFFF : 0xFF;
  if (spec.aliasBlock > 0) {
    std::vector<std::uint8_t>& block = *blocks_.MutableBlock(spec.aliasBlock);
    for (std::size_t i = 0; i < values.size(); ++i) block[address + i] = static_cast<std::uint8_t>(values[i] & mask);
    return true;
  }
  if (cells_[index].empty()) cells_[index].assign(spec.cells, Cell(memory, 0));
  for (std::size_t i = 0; i < values.size(); ++i)
    cells_[index][address + i] = static_cast<std::uint16_t>(values[i] & mask);
  return true;
}

void MemoryStore::Clear(int memory) {
  if (memory < 0 || memory > 13) return;
  cells_[static_cast<std::size_t>(memory)].clear();
  cells_[static_cast<std::size_t>(memory)].shrink_to_fit();
}

}  // namespace kx7::emu
