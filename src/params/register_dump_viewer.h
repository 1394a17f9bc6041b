// The viewer of block 81, the ASIC configuration registers of a Larch USB controller: the 512 bytes
// as a hexadecimal dump, sixteen a line after the offset of the first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kx7 {

class RegisterDumpViewer : public DialogModel {
 public:
  explicit RegisterDumpViewer(std::vector<std::uint8_t> registers) : registers_(std::move(registers)) {}
  const char* Kind() const override { return "RegisterDump"; }
  std::string Title() const override { return "ASIC Config Registers"; }
  // "%03X: " and the bytes as "%02X " a line.
  std::vector<std::string> Lines() const;

 private:
  std::vector<std::uint8_t> registers_;
};

}  // namespace kx7
