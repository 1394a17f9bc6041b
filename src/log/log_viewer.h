// The "Log Viewer": a list in report view that shows a log or text file, one line a row, or a
// tab-separated file with one column per field; other tools show a ready text in it. The rows the
// user selects can be copied to the clipboard (Copy of the main frame, message 0x800A).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/main_frame.h"
#include "log/log_constants.h"
#include "platform/ui_host.h"
#include "platform/window.h"

namespace kx7 {

struct LogTable {
  struct Column {
    std::string title;
    int width = 0;  // pixels
    bool operator==(const Column&) const = default;
  };
  std::vector<Column> columns;
  // A row holds as many fields as its record had, never more than there are columns; the cells
  // after its last field are empty.
  std::vector<std::vector<std::string>> rows;
};

// Cuts text into records and fields the way the viewer reads a file: a CR ends a record, and so
// does a LF that does not complete a CR LF pair (text files written elsewhere end their lines
// with LF alone); the LF of a CR LF and every NUL are dropped. With `splitFields` a tab separates
// the fields of a record. A field keeps its first kViewerMaxFieldLength characters. The text can
// come in pieces of any size.
class LogTableParser {
 public:
  explicit LogTableParser(bool splitFields) : splitFields_(splitFields) {}

  void Feed(std::string_view text);
  // The end of the text: a last record that has no CR of its own still becomes a row when
  // anything of it was read, so nothing the file holds is lost; an empty end makes no row.
  void Finish();

  bool SawTab() const { return sawTab_; }
  // The most fields any record had (0 before the first record).
  std::size_t FieldCount() const { return fieldCount_; }
  std::vector<std::vector<std::string>> TakeRows() { return std::move(rows_); }

 private:
  void EndRecord();

  bool splitFields_;
  bool sawTab_ = false;
  bool afterCr_ = false;
  bool recordStarted_ = false;
  std::size_t fieldCount_ = 0;
  std::vector<std::string> fields_{std::string()};
  std::vector<std::vector<std::string>> rows_;
};

// The table of a log file's text: without a tab anywhere one column titled with the file's path,
// else the columns "Column 0", "Column 1", ... as many as the widest record needs.
LogTable LogTableOfFile(std::string_view text, const std::string& path);
// A ready text: rows cut at CR, one column titled `title`.
LogTable LogTableOfText(std::string_view text, const std::string& title);
// Reads a file into its table; nothing when the file cannot be read.
std::optional<LogTable> LoadLogTable(const std::string& path);

class LogViewerWindow : public Window {
 public:
  explicit LogViewerWindow(CMainFrame& frame);
  ~LogViewerWindow() override;

  LResult OnMessage(MessageId message, WParam wParam, LParam lParam) override;
  const char* ViewKind() const override { return kLogViewerViewKind; }

  // Asks for a file and reads it; false when the user cancelled or the file could not be read
  // ("Failed to open file!" is shown then). The viewer is not shown yet.
  bool ChooseAndLoad();
  void SetTable(LogTable table);
  // Shows the viewer as an MDI child; false when the user interface could not.
  bool Show();
  // Closes the view and tells the owner (onClosed), which lets the window go.
  void Close();

  const LogTable& Table() const { return *table_; }
  // The table as the view holds it: it stays valid for the view even after the window is gone.
  std::shared_ptr<const LogTable> SharedTable() const { return table_; }

  // The view reports the rows the user selected (any order; duplicates and rows that do not
  // exist are left out).
  void SetSelectedRows(std::vector<std::size_t> rows);
  const std::vector<std::size_t>& SelectedRows() const { return selected_; }
  void SelectAll();
  // The selected rows as the clipboard gets them: fields separated by a tab, each row ended by
  // CR LF, top to bottom.
  std::string SelectedText() const;
  // Puts the selected rows on the clipboard; nothing is put there when no row is selected.
  void Copy();

  bool Shown() const { return shown_; }
  bool Closed() const { return closed_; }

  // The owner lets the window go after it closed.
  std::function<void()> onClosed;

 private:
  void Refresh();

  CMainFrame& frame_;
  std::shared_ptr<const LogTable> table_;
  std::vector<std::size_t> selected_;
  bool shown_ = false;
  bool closed_ = false;
};

}  // namespace kx7
