// The main frame's copies of the controller's parameter blocks: one byte array a storage slot, its
// length as the controller gave it, and the block-status letter that came with the last read of
// the slot. Several block numbers share a slot (3, 5, 9, 10 and 50 the shared one; 8 and 81 to 84
// the Block8 one); blocks 99, 101 and 102 are read into the caller's buffer and have no slot.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kx7 {

class BlockStore {
 public:
  enum class Slot { kBlock1, kBlock2, kShared, kBlock4, kBlock6, kBlock7, kBlock8 };
  static constexpr std::size_t kSlotCount = 7;

  // The slot a block number is kept in; nothing for the blocks without one.
  static std::optional<Slot> SlotOf(int number);

  // The copy of the block's slot (empty before the first read). Only for numbers with a slot.
  std::vector<std::uint8_t>& Bytes(int number);
  const std::vector<std::uint8_t>& Bytes(int number) const;
  std::size_t Length(int number) const { return Bytes(number).size(); }
  // The status letter of the slot's last read; 0 when the route gave none.
  char Status(int number) const;

  // Keeps a block that was read, with its status letter. Numbers without a slot are not kept.
  void Store(int number, std::vector<std::uint8_t> bytes, char status);

 private:
  struct Copy {
    std::vector<std::uint8_t> bytes;
    char status = 0;
  };
  Copy& At(int number);
  const Copy& At(int number) const;

  std::array<Copy, kSlotCount> slots_;
  Copy none_;  // what a number without a slot sees
};

}  // namespace kx7
