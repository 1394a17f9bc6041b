// Any bytes must read as a Log Viewer table and as a replayed hex dump without harm, and neither
// may make more of the input than it holds: no field past its limit, no more rows than record
// ends (plus an unended last one), no more replayed bytes than digit pairs. Reading the text in
// two pieces must give what reading it whole gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "log/log_constants.h"
#include "log/log_viewer.h"
#include "log/replay.h"

namespace {

void CheckTable(std::string_view text) {
  const kx7::LogTable table = kx7::LogTableOfFile(text, "fuzz.log");
  if (table.columns.empty()) std::abort();
  const std::size_t recordEnds =
      static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }));
  if (table.rows.size() > recordEnds + 1) std::abort();
  const bool tabs = text.find('\t') != std::string_view::npos;
  if (!tabs && table.columns.size() != 1) std::abort();
  std::size_t characters = 0;
  for (const auto& row : table.rows) {
    if (row.empty() || row.size() > table.columns.size()) std::abort();
    for (const std::string& field : row) {
      if (field.size() > kx7::kViewerMaxFieldLength) std::abort();
      if (field.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
      if (tabs && field.find('\t') != std::string::npos) std::abort();
      characters += field.size();
    }
  }
  if (characters > text.size()) std::abort();

  // The same text in two pieces, cut in the middle.
  kx7::LogTableParser parser(true);
  parser.Feed(text.substr(0, text.size() / 2));
  parser.Feed(text.substr(text.size() / 2));
  parser.Finish();
  if (parser.TakeRows() != table.rows) std::abort();

  const kx7::LogTable ready = kx7::LogTableOfText(text, "Tool");
  if (ready.columns.size() != 1) std::abort();
  for (const auto& row : ready.rows)
    if (row.size() != 1) std::abort();
}

void CheckHexDump(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::size_t bytes = 0;
  while (kx7::ReadHexByte(in)) {
    ++bytes;
    if (bytes * 2 > text.size()) std::abort();
  }
  // The end stays the end.
  if (kx7::ReadHexByte(in)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckTable(text);
  CheckHexDump(text);
  return 0;
}
