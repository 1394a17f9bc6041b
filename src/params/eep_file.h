// The Birch2 EEP file: the Block7 table as text. The first character is "%"; lines that start
// with "%" are comments; a parameter line is "7", tab, the address as four upper-case hexadecimal
// digits, tab, the value in hexadecimal, tab, "%", tab, the name. The program writes three comment
// lines first and leaves out the rows 0x200 to 0x2FF (the linearization the controller keeps).
#pragma once

#include <optional>
#include <string>

#include "params/block7_table.h"

namespace kx7 {

// The file of the table, as "Save EEP File" writes it: the rows of SelfParam.Valid (0x362) and the
// one after it are written as 0 (the table keeps their values).
std::string WriteEepFile(const Block7Table& table);

struct EepFileCheck {
  // The fresh table with the file read into it, cut to the entries taken.
  Block7Table table;
  std::optional<std::size_t> count;  // entries taken; nothing for a file that is not an EEP file
  std::size_t ignored = 0;           // parameter lines after the 474th
  std::string error;                 // "", "InvalidFile" or "Line"
  bool Valid() const { return error.empty(); }
};

EepFileCheck ReadEepFile(const std::string& text);

}  // namespace kx7
