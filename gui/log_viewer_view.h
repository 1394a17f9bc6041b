// The view of a Log Viewer window: a list in report view (grid lines, whole rows selected)
// filling its MDI child. The rows the user selects are told to the window; Ctrl+C asks the window
// to copy them, as the main frame's Copy does, and the window reaches the clipboard through the
// hook this view gives it.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <memory>

#include "log/log_viewer.h"
#include "window_views.h"

namespace kx7 {

// The window's table as a Qt model. It keeps its own share of the table, so it never reads a
// window that is gone.
class LogTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit LogTableModel(QObject* parent = nullptr);

  void SetTable(std::shared_ptr<const LogTable> table);
  const std::shared_ptr<const LogTable>& Table() const { return table_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::shared_ptr<const LogTable> table_;
};

class LogViewerView : public QTableView, public WindowView {
  Q_OBJECT

 public:
  explicit LogViewerView(LogViewerWindow& window, QWidget* parent = nullptr);

  LogTableModel* TableModel() const { return model_; }

  void Refresh() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ShowSelection();
  void ReportSelection();
  bool WindowThere() const { return loop_.Find(id_) == &window_; }

  LogViewerWindow& window_;
  MessageLoop& loop_;
  WindowId id_;
  LogTableModel* model_ = nullptr;
  // Set while the view shows the window's selection, which it then need not report back.
  bool showingSelection_ = false;
};

// Makes WindowViews show this view for the Log Viewer's kind.
void RegisterLogViewerView();

}  // namespace kx7
