#include "log/log_viewer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>

#include "frame/messages.h"
#include "log/file_choice.h"
#include "log/log_constants.h"

namespace kx7 {

// --- Parsing ---------------------------------------------------------------------------------

void LogTableParser::Feed(std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\0':
        // Not even a character: a NUL between CR and LF leaves the pair whole.
        continue;
      case '\n':
        if (afterCr_) {
          afterCr_ = false;
          continue;
        }
        EndRecord();
        continue;
      case '\r':
        EndRecord();
        afterCr_ = true;
        continue;
      case '\t':
        if (splitFields_) {
          sawTab_ = true;
          fields_.emplace_back();
          recordStarted_ = true;
          afterCr_ = false;
          continue;
        }
        break;
      default:
        break;
    }
    afterCr_ = false;
    recordStarted_ = true;
    std::string& field = fields_.back();
    if (field.size() < kViewerMaxFieldLength) field.push_back(c);
  }
}

void LogTableParser::Finish() {
  if (recordStarted_) EndRecord();
}

void LogTableParser::EndRecord() {
  fieldCount_ = std::max(fieldCount_, fields_.size());
  rows_.push_back(std::move(fields_));
  fields_.assign(1, std::string());
  recordStarted_ = false;
}

namespace {

LogTable TableOf(LogTableParser& parser, const std::string& singleTitle) {
  LogTable table;
  if (parser.SawTab()) {
    for (std::size_t column = 0; column < parser.FieldCount(); ++column) {
      std::array<char, 32> title{};
      std::snprintf(title.data(), title.size(), log_text::kColumnTitle, static_cast<int>(column));
      table.columns.push_back({title.data(), kViewerFieldColumnWidth});
    }
  } else {
    table.columns.push_back({singleTitle, kViewerLineColumnWidth});
  }
  table.rows = parser.TakeRows();
  return table;
}

}  // namespace

LogTable LogTableOfFile(std::string_view text, const std::string& path) {
  // With no tab anywhere every record is a single field: the same reading gives the one column.
  LogTableParser parser(true);
  parser.Feed(text);
  parser.Finish();
  return TableOf(parser, path);
}

LogTable LogTableOfText(std::string_view text, const std::string& title) {
  LogTableParser parser(false);
  parser.Feed(text);
  parser.Finish();
  return TableOf(parser, title);
}

std::optional<LogTable> LoadLogTable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  LogTableParser parser(true);
  std::array<char, 64 * 1024> chunk;
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    parser.Feed(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
  }
  // A folder opens as a stream on some systems but cannot be read.
  if (in.bad()) return std::nullopt;
  parser.Finish();
  return TableOf(parser, path);
}

// --- The window ------------------------------------------------------------------------------

LogViewerWindow::LogViewerWindow(CMainFrame& frame)
    : Window(frame.Loop()), frame_(frame), table_(std::make_shared<const LogTable>()) {}

LogViewerWindow::~LogViewerWindow() {
  if (shown_) frame_.Ui().CloseWindow(*this);
}

LResult LogViewerWindow::OnMessage(MessageId message, WParam, LParam) {
  switch (message) {
    case msg::kCopy:
      Copy();
      return 0;
    case msg::kSelectAll:
      SelectAll();
      return 0;
    case wm::kClose:
      Close();
      return 0;
    default:
      return 0;
  }
}

bool LogViewerWindow::ChooseAndLoad() {
  FileDialogRequest request;
  request.title = log_text::kOpenFileTitle;
  request.filter = log_text::kViewerFilter;
  request.defaultExtension = log_text::kLogExtension;
  const std::optional<std::string> path = ChooseFile(frame_, request);
  if (!path) return false;
  std::optional<LogTable> table = LoadLogTable(*path);
  if (!table) {
    ShowMessage(frame_.Ui(), log_text::kFailedToOpenFile);
    return false;
  }
  SetTable(std::move(*table));
  return true;
}

void LogViewerWindow::SetTable(LogTable table) {
  table_ = std::make_shared<const LogTable>(std::move(table));
  selected_.clear();
  Refresh();
}

bool LogViewerWindow::Show() {
  if (closed_) return false;
  if (shown_) return true;
  Placement placement;
  placement.kind = PlacementKind::kMdiChild;
  placement.title = log_text::kViewerTitle;
  shown_ = frame_.Ui().OpenWindow(*this, placement);
  return shown_;
}

void LogViewerWindow::Close() {
  if (closed_) return;
  closed_ = true;
  if (shown_) {
    shown_ = false;
    frame_.Ui().CloseWindow(*this);
  }
  // The rows go now; the window itself goes when its owner comes to it.
  table_ = std::make_shared<const LogTable>();
  selected_.clear();
  if (onClosed) onClosed();
}

void LogViewerWindow::SetSelectedRows(std::vector<std::size_t> rows) {
  const std::size_t count = table_->rows.size();
  rows.erase(std::remove_if(rows.begin(), rows.end(), [count](std::size_t row) { return row >= count; }), rows.end());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  selected_ = std::move(rows);
}

void LogViewerWindow::SelectAll() {
  selected_.resize(table_->rows.size());
  for (std::size_t row = 0; row < selected_.size(); ++row) selected_[row] = row;
  Refresh();
}

std::string LogViewerWindow::SelectedText() const {
  std::string text;
  for (const std::size_t row : selected_) {
    const std::vector<std::string>& fields = table_->rows[row];
    for (std::size_t field = 0; field < fields.size(); ++field) {
      if (field > 0) text += '\t';
      text += fields[field];
    }
    text += "\r\n";
  }
  return text;
}

void LogViewerWindow::Copy() {
  if (selected_.empty()) return;
  frame_.Ui().SetClipboardText(SelectedText());
}

void LogViewerWindow::Refresh() {
  if (shown_) frame_.Ui().Invalidate(Id());
}

}  // namespace kx7
