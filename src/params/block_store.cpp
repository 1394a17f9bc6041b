#include "params/block_store.h"

namespace kx7 {

std::optional<BlockStore::Slot> BlockStore::SlotOf(int number) {
  switch (number) {
    case 1:
      return Slot::kBlock1;
    case 2:
      return Slot::kBlock2;
    case 3:
    case 5:
    case 9:
    case 10:
    case 50:
      return Slot::kShared;
    case 4:
      return Slot::kBlock4;
    case 6:
      return Slot::kBlock6;
    case 7:
      return Slot::kBlock7;
    case 8:
    case 81:
    case 82:
    case 83:
    case 84:
      return Slot::kBlock8;
    default:
      return std::nullopt;
  }
}

BlockStore::Copy& BlockStore::At(int number) {
  const std::optional<Slot> slot = SlotOf(number);
  if (!slot) {
    none_ = Copy{};
    return none_;
  }
  return slots_[static_cast<std::size_t>(*slot)];
}

const BlockStore::Copy& BlockStore::At(int number) const {
  const std::optional<Slot> slot = SlotOf(number);
  if (!slot) return none_;
  return slots_[static_cast<std::size_t>(*slot)];
}

std::vector<std::uint8_t>& BlockStore::Bytes(int number) { return At(number).bytes; }
const std::vector<std::uint8_t>& BlockStore::Bytes(int number) const { return At(number).bytes; }
char BlockStore::Status(int number) const { return At(number).status; }

void BlockStore::Store(int number, std::vector<std::uint8_t> bytes, char status) {
  if (!SlotOf(number)) return;
  Copy& copy = At(number);
  copy.bytes = std::move(bytes);
  copy.status = status;
}

}  // namespace kx7
