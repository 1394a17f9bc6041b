// The controller's end of the pass-through: bytes from the host go on to the second processor
// until DLE EOT (0x10 0x04). The host doubles every DLE it means as data, so DLE DLE is one 0x10;
// a DLE before any other byte was not doubled by the host (families that do not stuff) and both
// bytes go on unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx7::emu {

class PassThroughDecoder {
 public:
  struct Result {
    std::uint8_t bytes[2] = {0, 0};
    std::size_t count = 0;  // bytes for the second processor
    bool end = false;       // DLE EOT: the pass-through is over
  };

  Result Push(std::uint8_t byte);
  void Reset() { afterDle_ = false; }
  bool Pending() const { return afterDle_; }

  static constexpr std::uint8_t kDle = 0x10;
  static constexpr std::uint8_t kEot = 0x04;

 private:
  bool afterDle_ = false;
};

}  // namespace kx7::emu
