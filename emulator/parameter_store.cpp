#include "parameter_store.h"

#include <utility>

namespace kx7::emu {
namespace {

std::uint16_t Word(const std::vector<std::uint8_t>& block, std::size_t at) {
  return static_cast<std::uint16_t>(block[at] | (block[at + 1] << 8));
}

std::uint16_t ComputeChecksum(const std::vector<std::uint8_t>& block) {
  std::uint16_t sum = 0;
  const std::size_t words = (block.size() - 2) / 2;
  for (std::size_t i = 0; i < words; ++i) sum ^= Word(block, 2 * i);
  return sum;
}

}  // namespace

bool BlockChecksumValid(const std::vector<std::uint8_t>& block) {
  if (block.size() < 2) return false;
  const std::size_t at = 2 * ((block.size() - 2) / 2);
  return ComputeChecksum(block) == Word(block, at);
}

void StoreBlockChecksum(std::vector<std::uint8_t>& block) {
  if (block.size() < 2) return;
  const std::uint16_t sum = ComputeChecksum(block);
  const std::size_t at = 2 * ((block.size() - 2) / 2);
  block[at] = static_cast<std::uint8_t>(sum & 0xFF);
  block[at + 1] = static_cast<std::uint8_t>(sum >> 8);
}

void ParameterStore::DefineBlock(int number, std::vector<std::uint8_t> defaults) {
  StoredBlock& block = blocks_[number];
  block.bytes = defaults;
  block.defaults = std::move(defaults);
}

std::size_t ParameterStore::BlockLength(int number) const {
  const auto* block = Block(number);
  return block ? block->size() : 0;
}

const std::vector<std::uint8_t>* ParameterStore::Block(int number) const {
  auto it = blocks_.find(number);
  return it == blocks_.end() ? nullptr : &it->second.bytes;
}

std::vector<std::uint8_t>* ParameterStore::MutableBlock(int number) {
  auto it = blocks_.find(number);
  return it == blocks_.end() ? nullptr : &it->second.bytes;
}

bool ParameterStore::SetBlock(int number, const std::vector<std::uint8_t>& bytes) {
  auto* block = MutableBlock(number);
  if (!block || block->size() != bytes.size()) return false;
  *block = bytes;
  return true;
}

void ParameterStore::DefineParameter(const QParameter& parameter) {
  parameters_[parameter.number] = StoredParameter{parameter, parameter.defaultValue};
}

const QParameter* ParameterStore::FindParameter(int number) const {
  auto it = parameters_.find(number);
  return it == parameters_.end() ? nullptr : &it->second.definition;
}

std::optional<std::uint32_t> ParameterStore::Value(int number) const {
  auto it = parameters_.find(number);
  if (it == parameters_.end()) return std::nullopt;
  return it->second.value;
}

bool ParameterStore::SetValue(int number, std::uint32_t value) {
  auto it = parameters_.find(number);
  if (it == parameters_.end() || !it->second.definition.writable) return false;
  const int digits = it->second.definition.digits;
  if (digits < 8 && (value >> (4 * digits)) != 0) return false;
  it->second.value = value;
  return true;
}

std::vector<int> ParameterStore::BlockNumbers() const {
  std::vector<int> numbers;
  for (const auto& [number, block] : blocks_) numbers.push_back(number);
  return numbers;
}

std::vector<int> ParameterStore::ParameterNumbers() const {
  std::vector<int> numbers;
  for (const auto& [number, parameter] : parameters_) numbers.push_back(number);
  return numbers;
}

void ParameterStore::LoadValue(int number, std::uint32_t value) {
  auto it = parameters_.find(number);
  if (it != parameters_.end()) it->second.value = value;
}

void ParameterStore::RestoreBlocks() {
  for (auto& [number, block] : blocks_) block.bytes = block.defaults;
}

void ParameterStore::RestoreParameters() {
  for (auto& [number, parameter] : parameters_) parameter.value = parameter.definition.defaultValue;
}

}  // namespace kx7::emu
