#include "log_viewer_view.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "frame/messages.h"
#include "log/log_constants.h"

namespace kx7 {
namespace {

// The log holds 8-bit text: each byte shows as one character.
QString FromLog(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

int ToInt(std::size_t value) {
  return static_cast<int>(std::min<std::size_t>(value, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

}  // namespace

// --- Model -----------------------------------------------------------------------------------

LogTableModel::LogTableModel(QObject* parent)
    : QAbstractTableModel(parent), table_(std::make_shared<const LogTable>()) {}

void LogTableModel::SetTable(std::shared_ptr<const LogTable> table) {
  beginResetModel();
  table_ = table ? std::move(table) : std::make_shared<const LogTable>();
  endResetModel();
}

int LogTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ToInt(table_->rows.size());
}

int LogTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ToInt(table_->columns.size());
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  const auto row = static_cast<std::size_t>(index.row());
  const auto column = static_cast<std::size_t>(index.column());
  if (row >= table_->rows.size()) return {};
  const std::vector<std::string>& fields = table_->rows[row];
  // A record with fewer fields leaves the cells after them empty.
  if (column >= fields.size()) return QString();
  return FromLog(fields[column]);
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0) return {};
  const auto column = static_cast<std::size_t>(section);
  if (column >= table_->columns.size()) return {};
  // Titles are paths and tool names, not log text.
  return QString::fromStdString(table_->columns[column].title);
}

// --- View ------------------------------------------------------------------------------------

LogViewerView::LogViewerView(LogViewerWindow& window, QWidget* parent)
    : QTableView(parent), window_(window), loop_(window.Loop()), id_(window.Id()) {
  setWindowTitle(QString::fromUtf8(log_text::kViewerTitle));
  model_ = new LogTableModel(this);
  setModel(model_);
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // A report list: no row numbers, rows of one text line, columns as wide as the window says.
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);

  // A new table resets the model; the selection model stays the same one.
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { ReportSelection(); });
  Refresh();
}

void LogViewerView::Refresh() {
  if (!WindowThere()) return;
  const std::shared_ptr<const LogTable> table = window_.SharedTable();
  if (table != model_->Table()) {
    showingSelection_ = true;
    model_->SetTable(table);
    showingSelection_ = false;
    for (std::size_t column = 0; column < table->columns.size(); ++column)
      setColumnWidth(ToInt(column), table->columns[column].width);
  }
  ShowSelection();
}

void LogViewerView::ShowSelection() {
  std::vector<std::size_t> shown;
  for (const QModelIndex& index : selectionModel()->selectedRows())
    shown.push_back(static_cast<std::size_t>(index.row()));
  std::sort(shown.begin(), shown.end());
  const std::vector<std::size_t>& wanted = window_.SelectedRows();
  if (shown == wanted) return;
  // Runs of rows make one range each, so selecting everything stays cheap.
  QItemSelection selection;
  const int lastColumn = std::max(0, model_->columnCount() - 1);
  for (std::size_t i = 0; i < wanted.size();) {
    std::size_t end = i + 1;
    while (end < wanted.size() && wanted[end] == wanted[end - 1] + 1) ++end;
    selection.select(model_->index(ToInt(wanted[i]), 0), model_->index(ToInt(wanted[end - 1]), lastColumn));
    i = end;
  }
  showingSelection_ = true;
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  showingSelection_ = false;
}

void LogViewerView::ReportSelection() {
  if (showingSelection_ || !WindowThere()) return;
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows())
    rows.push_back(static_cast<std::size_t>(index.row()));
  window_.SetSelectedRows(std::move(rows));
}

void LogViewerView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    // The window does the copying, as it does for the main frame's Copy.
    loop_.Post(id_, msg::kCopy);
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void RegisterLogViewerView() {
  RegisterWindowView(kLogViewerViewKind, [](Window& window) -> std::unique_ptr<WindowView> {
    auto* viewer = dynamic_cast<LogViewerWindow*>(&window);
    if (viewer == nullptr) return nullptr;
    return std::make_unique<LogViewerView>(*viewer);
  });
}

}  // namespace kx7
