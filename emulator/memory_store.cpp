#include "memory_store.h"

namespace kx7::emu {

MemoryStore::MemoryStore(const std::array<MemoryLayout, 14>& layouts, ParameterStore& blocks)
    : layouts_(layouts), blocks_(blocks) {}

std::uint32_t MemoryStore::Cells(int memory) const {
  if (memory < 0 || memory > 13) return 0;
  const MemoryLayout& layout = layouts_[static_cast<std::size_t>(memory)];
  if (layout.aliasBlock > 0) return static_cast<std::uint32_t>(blocks_.BlockLength(layout.aliasBlock));
  return layout.cells;
}

bool MemoryStore::Words(int memory) const {
  if (memory < 0 || memory > 13) return false;
  const MemoryLayout& layout = layouts_[static_cast<std::size_t>(memory)];
  return layout.aliasBlock == 0 && layout.words;
}

bool MemoryStore::InRange(int memory, std::uint32_t address, std::uint64_t count) const {
  const std::uint32_t cells = Cells(memory);
  return cells > 0 && count > 0 && static_cast<std::uint64_t>(address) + count <= cells;
}

std::uint16_t MemoryStore::Cell(int memory, std::uint32_t address) const {
  const auto index = static_cast<std::size_t>(memory);
  const MemoryLayout& layout = layouts_[index];
  if (layout.aliasBlock > 0) return (*blocks_.Block(layout.aliasBlock))[address];
  if (cells_[index].empty()) return layout.words ? static_cast<std::uint16_t>(layout.fill * 0x101) : layout.fill;
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
  const MemoryLayout& layout = layouts_[index];
  const std::uint16_t mask = Words(memory) ? 0xFFFF : 0xFF;
  if (layout.aliasBlock > 0) {
    std::vector<std::uint8_t>& block = *blocks_.MutableBlock(layout.aliasBlock);
    for (std::size_t i = 0; i < values.size(); ++i) block[address + i] = static_cast<std::uint8_t>(values[i] & mask);
    return true;
  }
  if (cells_[index].empty()) cells_[index].assign(layout.cells, Cell(memory, 0));
  for (std::size_t i = 0; i < values.size(); ++i)
    cells_[index][address + i] = static_cast<std::uint16_t>(values[i] & mask);
  return true;
}

std::vector<int> MemoryStore::StoredMemories() const {
  std::vector<int> stored;
  for (int memory = 0; memory < 14; ++memory) {
    if (memory == 0 || memory == 10) continue;
    const auto index = static_cast<std::size_t>(memory);
    if (layouts_[index].aliasBlock == 0 && !cells_[index].empty()) stored.push_back(memory);
  }
  return stored;
}

bool MemoryStore::LoadCells(int memory, const std::vector<std::uint16_t>& cells) {
  if (memory < 0 || memory > 13) return false;
  const auto index = static_cast<std::size_t>(memory);
  if (layouts_[index].aliasBlock != 0 || cells.size() != layouts_[index].cells) return false;
  const std::uint16_t mask = Words(memory) ? 0xFFFF : 0xFF;
  cells_[index] = cells;
  for (std::uint16_t& cell : cells_[index]) cell &= mask;
  return true;
}

void MemoryStore::Clear(int memory) {
  if (memory < 0 || memory > 13) return;
  cells_[static_cast<std::size_t>(memory)].clear();
  cells_[static_cast<std::size_t>(memory)].shrink_to_fit();
}

}  // namespace kx7::emu
