// The BlockQ file of the Rowan Q Parameters tool: the line "BlockQ_Rev_A", then "Q3nn VALUE" for
// each parameter 300 to 369 the controller knows, in order, and "Q001 VALUE" last when it knows
// parameter 1; values as eight upper-case hexadecimal digits, CR LF line ends.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kx7 {

inline constexpr const char* kBlockQHeader = "BlockQ_Rev_A";
inline constexpr int kBlockQFirst = 300;
inline constexpr int kBlockQLast = 369;
inline constexpr int kBlockQLastParameter = 1;

struct BlockQParameter {
  int number = 0;
  std::uint32_t value = 0;
  bool operator==(const BlockQParameter&) const = default;
};

// The file of the parameters known (numbers 300 to 369 and 1; others are left out).
std::string WriteBlockQFile(const std::map<int, std::uint32_t>& known);

struct BlockQFileCheck {
  std::vector<BlockQParameter> parameters;  // the lines read before an error
  std::string error;                        // "", "Header" or "Line"
  bool Valid() const { return error.empty(); }
};

BlockQFileCheck ReadBlockQFile(const std::string& text);

}  // namespace kx7
