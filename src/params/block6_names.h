// The names the Block6 editor gives the bytes of Block6, by controller family, and the rows it
// shows at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx7 {

enum class Block6NameTable { kRowan, kLarch4, kLarch123, kLarch, kOther };

Block6NameTable Block6NameTableFor(std::uint32_t type, std::uint32_t features);
// The table's names for a block of `length` bytes: "." for the bytes beyond the table.
std::vector<std::string> Block6Names(Block6NameTable table, std::size_t length);
// 16 for the Rowan/Cedar and Larch types, 12 for the others.
int Block6RowsShown(std::uint32_t type);

}  // namespace kx7
