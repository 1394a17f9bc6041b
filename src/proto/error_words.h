// The words of the Errors line: which bits of a controller's status value mean what, by type.
#pragma once

#include <cstdint>
#include <string>

namespace kx7 {

// Each word has a trailing blank, except "FIXCAL". Only the Birch2 HID status has bits above 0xFFFF.
std::string ErrorWords(std::uint32_t controllerType, std::uint32_t controllerFeatures, std::uint32_t status);

}  // namespace kx7
